#pragma once

#include "InstallPlan.h"
#include "InstallRequest.h"
#include "journal/ChangeJournal.h"

#include <QString>
#include <functional>

namespace veltrane {

// Works out what an install of the request would do, changing nothing anywhere: no file of
// the game or the package is written, no program run. The route and scenario lists are read
// as they stand (a serialised scenario list decoded in memory), so the records and questions
// named are those of the lists now; missing stock is judged as the resolver judges it, the
// variants not made; the batch file is read and checked as it would be at the game's top.
class InstallPlanner {
public:
    // The name of the package that brought the game's file at relativePath ("/" separated,
    // below the game folder); empty when it is one of the game's own.
    using OwnerOf = std::function<QString(const QString& relativePath)>;

    explicit InstallPlanner(InstallRequest request, OwnerOf ownerOf = {});
    // The owners a journal's lookup names, as "PACKAGE, install N"; what the lookup reads
    // must outlive the result.
    static OwnerOf ownersIn(ChangeJournal::OwnerLookup lookup);

    // Whether the user agreed to have missing stock made already in this run: then no
    // question comes before the first variant.
    void setStockConsent(bool given) { m_stockConsent = given; }
    // Whether the package is an archive that the install will unpack on the game's disk
    // first: its files take their room there before they are moved.
    void setUnpackedByTheInstall(bool unpacked) { m_unpackedByTheInstall = unpacked; }

    InstallPlan make() const;
    static InstallPlan make(const InstallRequest& request, const OwnerOf& ownerOf = {});

private:
    void planFiles(InstallPlan& plan) const;
    void planRoute(InstallPlan& plan) const;
    void planScenario(InstallPlan& plan) const;
    void planStock(InstallPlan& plan, const QStringList& requirementLines) const;
    void planBatch(InstallPlan& plan) const;
    void planSpace(InstallPlan& plan) const;

    InstallRequest m_request;
    OwnerOf m_ownerOf;
    bool m_stockConsent = false;
    bool m_unpackedByTheInstall = false;
};

} // namespace veltrane
