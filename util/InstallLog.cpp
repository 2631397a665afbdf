#include "InstallLog.h"

#include "OwnFolder.h"
#include "UserInterface.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

bool openForLines(QFile& file, const QString& path)
{
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered |
                     QIODevice::Text);
}

// Drops the oldest logs beyond the newest kept; their names sort by time.
void prune(const QString& folder, int kept)
{
    const QStringList logs = QDir(folder).entryList({u"*.log"_s}, QDir::Files, QDir::Name);
    for (qsizetype i = 0; i + kept < logs.size(); ++i)
        QFile::remove(folder + u'/' + logs[i]);
}

} // namespace

QString InstallLog::folder()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + u"/.local/state"_s;
    return state + u"/veltrane"_s;
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + u"/logs"_s;
#endif
}

InstallLog::InstallLog(const QString& kind, QString extraCopy) : m_copyPath(std::move(extraCopy))
{
    const QString logs = folder();
    const QString name = kind + u'-' +
                         QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss-zzz"_s) +
                         u".log"_s;
    if (QDir().mkpath(logs) && openForLines(m_file, logs + u'/' + name)) {
        m_path = m_file.fileName();
        prune(logs, kKept);
    } else {
        m_problem =
            u"the log "_s + QDir::toNativeSeparators(logs + u'/' + name) + u" cannot be written"_s;
    }
}

InstallLog::~InstallLog() = default;

void InstallLog::write(const QString& topic, const QString& text)
{
    const QString flat = oneLine(text);
    const QByteArray line = (QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss.zzz"_s) +
                             u"  "_s + topic.leftJustified(9) + u' ' + flat + u'\n')
                                .toUtf8();
    if (m_file.isOpen())
        m_file.write(line);
    if (!m_copyPath.isEmpty())
        m_copyText += line;
}

void InstallLog::fileChanged(const QString& what, const HostPath& path, const QString& note)
{
    if (m_game.isEmpty())
        return;
    const std::filesystem::path relative =
        path.fs().lexically_normal().lexically_relative(m_game.fs());
    if (relative.empty() || *relative.begin() == ".." ||
        HostPath::fromFs(*relative.begin()).toString() == OwnFolder::kName)
        return;
    // A file under its passing name is a step of another change, logged as that.
    const QString name = path.fileName();
    if (name.startsWith(u'.') && name.contains(u".veltrane-"_s))
        return;
    write(u"file"_s,
          what + u' ' + path.display() + (note.isEmpty() ? QString() : u" ("_s + note + u')'));
}

} // namespace veltrane
