#pragma once

#include "EnvironmentGuard.h"
#include "ScriptedUserInterface.h"
#include "install/InstallOperation.h"
#include "util/AppState.h"

#include <QByteArray>
#include <QMap>
#include <QTemporaryDir>

namespace veltrane::test {

// Copies the tree from into the folder to, over what is there; fails the test run when it
// cannot.
void copyFolderInto(const QString& from, const QString& to);

inline const QString kInstalled = QStringLiteral("Your package has been installed.");

// A game folder and a package folder in a temporary folder, and the install run on them as
// the window runs it. The search path holds only our stand-in serialiser: no Wine, so
// batch files go through our own interpreter.
class InstallFixture {
    QTemporaryDir m_dir;  // first: the paths below are made from it
    QTemporaryDir m_home; // the user's state and cache folders: install logs, working files

public:
    InstallFixture();
    // The temporary folder made from a QTemporaryDir template, to lay the game elsewhere.
    explicit InstallFixture(const QString& folderTemplate);

    QString root;    // host path of the temporary folder
    QString game;    // the game folder, "Rail Simulator"
    QString package; // the package folder, where the program lies
    AppState state;
    ScriptedUserInterface ui;

    void gameFile(const QString& relative, const QByteArray& bytes) const;
    void packageFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readGame(const QString& relative) const;
    bool gameHas(const QString& relative) const;
    QMap<QString, QByteArray> gameSnapshot() const;
    // The demo game in the game folder, its serialised files made from their XML as the
    // demo's layout makes them; a demo package ("route", "scenario", "assets") in the
    // package folder.
    void layOutDemoGame() const;
    void copyDemoPackage(const QString& name) const;
    // The install logs written so far, oldest first.
    QStringList logs() const;

    // A route list in the game's layout with one record per identifier.
    static QByteArray routeList(const QStringList& identifiers);
    static QByteArray routeRecord(const QString& identifier, const QString& name);
    // A route's scenario list as the serialiser shows it, one record per id, each named
    // "Scenario " and its id.
    static QByteArray scenarioList(const QList<QByteArray>& ids);
    static QByteArray scenarioRecord(const QByteArray& id);

    InstallOperation::Outcome install(PackageKind kind);
    InstallOperation::Outcome install(PackageKind kind, const QString& gameFolderText);

private:
    EnvironmentGuard m_environment;
};

} // namespace veltrane::test
