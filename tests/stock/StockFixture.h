#pragma once

#include "EnvironmentGuard.h"
#include "ScriptedUserInterface.h"
#include "journal/FileChanges.h"
#include "stock/EngineContext.h"
#include "util/AppState.h"
#include "util/WorkReport.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

namespace veltrane::test {

// A game folder and a package (program) folder in a temporary folder, with the stand-in
// serialiser as the only program on the search path, and the context the makers run in.
class StockFixture {
    QTemporaryDir m_dir; // first: the paths below are made from it

public:
    StockFixture();
    StockFixture(const StockFixture&) = delete;
    StockFixture& operator=(const StockFixture&) = delete;

    QString root;    // host path of the temporary folder
    QString game;    // the game folder; GamePath
    QString package; // the program's folder
    AppState state;
    ScriptedUserInterface ui;
    // Outside an install: the makers' changes are neither confined nor journaled.
    FileChanges files;
    WorkReport report;
    EngineContext context;

    // The program's form of a path below the game's Assets folder ("Kuju\Coach_DF.bin").
    QString assets(const QString& relative) const;
    // The Assets folder of relative, as the makers take it: ending in "\".
    QString assetsFolder(const QString& relative) const;

    // A blueprint under Assets in the stand-in serialiser's format.
    void blueprint(const QString& relative, const QString& xml) const;
    // The XML of a serialised blueprint under Assets; a null string when there is no such
    // file or it does not read back.
    QString installedXml(const QString& relative) const;
    bool assetExists(const QString& relative) const;
    void packageFile(const QString& relative, const QByteArray& bytes) const;
    bool packageHas(const QString& relative) const;

    // VELTRANE_SUBSTITUTE_FAIL for the serialiser's runs; empty restores normal work.
    void failSerialiser(const QByteArray& mode);
    // Leaves no serialiser on the search path.
    void removeSerialiser();
    // The serialiser's runs so far, one entry per run with its arguments.
    QList<QStringList> serialiserRuns() const;

    QStringList messages() const { return ui.texts(); }

private:
    QString m_log;
    EnvironmentGuard m_environment;
};

// The XML as a blueprint made from it shows it: the serialiser's own layout.
QString canonical(const QString& xml);
// A blueprint in the serialiser's XML layout (CR LF line ends, TAB indentation): a name,
// the five language names, and a children list with one entry per child name. Without
// withChildren the document has no children list at all.
QString blueprintXml(const QString& displayName, const QStringList& childNames,
                     bool withChildren = true);
// One child entry as blueprintXml writes it, indented for its place in the list.
QString childEntry(const QString& childName);
// xml of blueprintXml with name in the Name element and the five language elements.
QString withDisplayName(QString xml, const QString& name);
// The child names left in a document, in order.
QStringList childNamesIn(const QString& xml);

} // namespace veltrane::test
