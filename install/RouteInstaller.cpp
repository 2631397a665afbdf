#include "RouteInstaller.h"

#include "RouteListSplice.h"
#include "platform/EngineContext.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/HostPath.h"
#include "util/MyFile.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {
using Result = InstallStep::Result;
using Icon = UserInterface::Icon;
} // namespace

QString RouteInstaller::listPath() const
{
    return m_context.state.GamePath + u"\\Content\\Routes.xml"_s;
}

QString RouteInstaller::backupPath() const
{
    return m_context.state.GamePath + u"\\Content\\Routes.xml.bak"_s;
}

InstallStep::Result RouteInstaller::stopWith(const QString& file, const QString& problem)
{
    m_context.ui.showMessage(u"The route could not be installed, because the file "_s +
                                 HostPath::display(file) + u" cannot be used:\r\n"_s + problem +
                                 u"\r\nNothing has been changed."_s,
                             Icon::Exclamation);
    return Result::EndInstall;
}

QList<InstallStep> RouteInstaller::steps()
{
    const QString markerPath = m_context.programFolder + u"\\Veltrane.xxx"_s;
    QList<InstallStep> steps;

    steps.append({u"find the route list"_s, [this] {
                      if (MyFile::FileExists(listPath()))
                          return Result::Next;
                      m_context.ui.showMessage(
                          u"The file "_s + HostPath::display(listPath()) +
                              u"\r\ncould not be found, please check your Content folder"_s,
                          Icon::Critical);
                      return Result::EndInstall;
                  }});

    // The marker is read and checked whole before the user is asked, so that a damaged
    // package never gets as far as the route list.
    steps.append({u"read the route marker"_s, [this, markerPath] {
                      try {
                          MyFile::ReadUniFile(m_context.ui, markerPath, m_marker);
                      } catch (const FileError& error) {
                          return stopWith(markerPath, error.description());
                      }
                      const auto identifier = RouteListSplice::routeIdentifier(m_marker);
                      if (!identifier.ok())
                          return stopWith(markerPath, identifier.problem);
                      m_identifier = identifier.text;
                      return Result::Next;
                  }});

    steps.append({u"confirm"_s, [this, markerPath] {
                      const auto name = RouteListSplice::routeName(m_marker);
                      if (!name.ok())
                          return stopWith(markerPath, name.problem);
                      const bool yes = m_context.ui.askYesNo(
                          u"You are about to install Route - "_s + name.text +
                          u"\r\nInto your Rail Simulator Routes folder - Please Confirm."_s);
                      return yes ? Result::Next : Result::EndInstall;
                  }});

    steps.append({u"edit the route list"_s, [this] {
                      QString list;
                      try {
                          MyFile::ReadUniFile(m_context.ui, listPath(), list);
                      } catch (const FileError& error) {
                          return stopWith(listPath(), error.description());
                      }
                      const auto edited = RouteListSplice::splice(list, m_marker, m_identifier);
                      if (!edited.ok())
                          return stopWith(listPath(), edited.problem);
                      m_newList = edited.text;
                      return Result::Next;
                  }});

    steps.append({u"delete the old backup"_s, [this] {
                      if (MyFile::FileExists(backupPath())) {
                          FileOps::removeFile(backupPath());
                          m_context.ui.processEvents();
                      }
                      return Result::Next;
                  }});

    // One step, so that the install never ends between moving the list aside and
    // writing its replacement.
    steps.append({u"replace the route list"_s, [this] { return replaceList(); }});
    return steps;
}

InstallStep::Result RouteInstaller::replaceList()
{
    UserInterface& ui = m_context.ui;
    try {
        FileOps::renameFile(listPath(), backupPath());
    } catch (const FileError& error) {
        ui.showMessage(u"The route list "_s + HostPath::display(listPath()) +
                           u" could not be renamed to Routes.xml.bak:\r\n"_s + error.description() +
                           u"\r\nIt has been left as it was and the route has not been added "
                           u"to it."_s,
                       Icon::Exclamation);
        // Permission denied goes on to the read-only offer; the list stays as it is.
        if (error.permissionDenied())
            throw;
        return Result::EndInstall;
    }
    ui.processEvents();

    if (MyFile::WriteUniFile(ui, listPath(), m_newList))
        return Result::Next;

    // The game must never be left without its route list.
    try {
        if (MyFile::FileExists(listPath()))
            FileOps::removeFile(listPath());
        FileOps::renameFile(backupPath(), listPath());
        ui.showMessage(u"The new route list could not be written, so the earlier list has "
                       u"been put back as "_s +
                           HostPath::display(listPath()) + u'.',
                       Icon::Exclamation);
    } catch (const FileError& error) {
        ui.showMessage(u"The new route list could not be written, and the earlier list could "
                       u"not be put back ("_s +
                           error.description() + u").\r\nIt is kept as "_s +
                           HostPath::display(backupPath()) +
                           u": rename it to Routes.xml to restore it."_s,
                       Icon::Exclamation);
    }
    return Result::EndInstall;
}

} // namespace veltrane
