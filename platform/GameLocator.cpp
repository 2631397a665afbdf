#include "GameLocator.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>
#endif

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// Folders Wine makes in every prefix for Windows' own programs: the game is never there, and
// looking into them would spend the budget.
bool isWineOwn(const QString& name)
{
    static const QStringList names{u"windows"_s,           u"users"_s,
                                   u"ProgramData"_s,       u"Common Files"_s,
                                   u"Internet Explorer"_s, u"Windows Media Player"_s,
                                   u"Windows NT"_s};
    return names.contains(name, Qt::CaseInsensitive);
}

bool mentionsRail(const QString& name)
{
    return name.contains(u"rail"_s, Qt::CaseInsensitive);
}

QStringList searchOrder(QStringList names)
{
    names.removeIf(isWineOwn);
    std::stable_partition(names.begin(), names.end(), mentionsRail);
    return names;
}

QString canonicalText(const HostPath& path)
{
    std::error_code error;
    const fs::path real = fs::canonical(path.fs(), error);
    return error ? path.toString() : HostPath::fromFs(real).toString();
}

// The first `limit` bytes of a regular file; nothing for anything else. A pipe with no writer
// would block an ordinary open for good, and opening a device may act on it: the kind is
// checked before the open, and the open cannot block should something else have taken the
// name since.
QByteArray readRegularFile(const HostPath& path, qint64 limit)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path.toString());
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const int file = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return {};
    QByteArray bytes;
    if (::fstat(file, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes.resize(qMin<qint64>(limit, info.st_size));
        qsizetype size = 0;
        while (size < bytes.size()) {
            const ssize_t read = ::read(file, bytes.data() + size, bytes.size() - size);
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0)
                break;
            size += read;
        }
        bytes.truncate(size);
    }
    ::close(file);
    return bytes;
#else
    QFile file(path.toString());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
#endif
}

bool isDigits(const QString& text)
{
    return !text.isEmpty() &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

} // namespace

GameLocator::GameLocator(QString home, const QProcessEnvironment& environment,
                         std::chrono::milliseconds timeBudget)
    : m_home(std::move(home)), m_environment(environment), m_timeBudget(timeBudget)
{
}

QString GameLocator::find()
{
    m_listings = 0;
    m_spent = Spent::Nothing;
    m_placesLooked.clear();
    m_deadline = QDeadlineTimer(m_timeBudget, Qt::PreciseTimer);
#ifdef Q_OS_WIN
    return {};
#else
    QSet<QString> seen;
    for (const auto& places : placesInOrder()) {
        for (const Root& root : places()) {
            if (spent())
                return {};
            // ~/.steam/steam is usually a link to ~/.local/share/Steam; $WINEPREFIX may be
            // ~/.wine or a prefix of Lutris.
            const QString canonical = canonicalText(root.folder);
            if (seen.contains(canonical))
                continue;
            seen.insert(canonical);
            QString found = searchBelow(root);
            if (!found.isEmpty())
                return found;
        }
        if (spent())
            return {};
    }
    return {};
#endif
}

QStringList GameLocator::placesLooked() const
{
    QStringList places = m_placesLooked;
    if (m_spent == Spent::Listings)
        places.append(u"… and the search stopped after %1 folders"_s.arg(kListingBudget));
    else if (m_spent == Spent::Time)
        places.append(u"… and the search stopped after %1 seconds"_s.arg(
            std::chrono::duration<double>(m_timeBudget).count()));
    return places;
}

// Each kind's places are worked out only when the search reaches them: reading Lutris'
// settings is wasted once the game is found in a Wine prefix.
QList<std::function<QList<GameLocator::Root>()>> GameLocator::placesInOrder()
{
    const auto home = [this](const QString& relative) {
        return HostPath::fromHost(m_home + relative);
    };
    QList<std::function<QList<Root>()>> places{[this] { return winePrefixes(); }};
    for (const QString& steam : {u"/.steam/steam"_s, u"/.local/share/Steam"_s,
                                 u"/.var/app/com.valvesoftware.Steam/.local/share/Steam"_s})
        places.append([this, folder = home(steam)] { return steamLibraries(folder); });
    places.append([this] { return lutrisPrefixes(); });
    for (const QString& relative : {u"/.local/share/bottles/bottles"_s,
                                    u"/.var/app/com.usebottles.bottles/data/bottles/bottles"_s})
        places.append([this, folder = home(relative)] { return bottles(folder); });
    return places;
}

QStringList GameLocator::steamLibraryPaths(const QByteArray& vdf)
{
    struct Token {
        QChar brace; // '{' or '}'; null for a text
        QString text;
    };
    QList<Token> tokens;
    const QString source = QString::fromUtf8(vdf);
    const qsizetype size = source.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = source[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'/' && i + 1 < size && source[i + 1] == u'/') {
            while (i < size && source[i] != u'\n')
                ++i;
        } else if (c == u'{' || c == u'}') {
            tokens.append({c, {}});
            ++i;
        } else if (c == u'"') {
            QString text;
            for (++i; i < size && source[i] != u'"'; ++i) {
                if (source[i] == u'\\' && i + 1 < size) {
                    const QChar escaped = source[++i];
                    text += escaped == u'n' ? u'\n' : escaped == u't' ? u'\t' : escaped;
                } else {
                    text += source[i];
                }
            }
            ++i;
            tokens.append({QChar(), text});
        } else {
            QString text;
            while (i < size && !source[i].isSpace() && source[i] != u'"' && source[i] != u'{' &&
                   source[i] != u'}')
                text += source[i++];
            tokens.append({QChar(), text});
        }
    }

    QStringList paths;
    int depth = 0;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].brace.isNull()) {
            depth += tokens[i].brace == u'{' ? 1 : -1;
            continue;
        }
        // A key and its value; a key followed by a block opens it at the next token.
        if (i + 1 >= tokens.size() || !tokens[i + 1].brace.isNull())
            continue;
        const QString& key = tokens[i].text;
        const QString& value = tokens[i + 1].text;
        if (!value.isEmpty() &&
            (key.compare(u"path"_s, Qt::CaseInsensitive) == 0 || (depth == 1 && isDigits(key))))
            paths.append(value);
        ++i;
    }
    return paths;
}

QList<GameLocator::Root> GameLocator::winePrefixes() const
{
    QList<Root> roots;
    const QString variable = m_environment.value(u"WINEPREFIX"_s);
    if (!variable.isEmpty())
        roots.append(prefixRoot(HostPath::fromHost(QDir::cleanPath(variable)), true));
    roots.append(prefixRoot(HostPath::fromHost(m_home + u"/.wine"_s), variable.isEmpty()));
    return roots;
}

QList<GameLocator::Root> GameLocator::steamLibraries(const HostPath& steam)
{
    QList<Root> roots;
    std::error_code error;
    if (!fs::is_directory(steam.fs(), error))
        return roots;
    QStringList libraries{steam.toString()};
    libraries +=
        steamLibraryPaths(readSettings(steam.child(u"steamapps"_s).child(u"libraryfolders.vdf"_s)));
    for (const QString& library : std::as_const(libraries)) {
        const HostPath place = HostPath::fromHost(library);
        roots.append({place, place.child(u"steamapps"_s).child(u"common"_s)});
    }
    return roots;
}

QList<GameLocator::Root> GameLocator::lutrisPrefixes()
{
    static const QRegularExpression prefixLine(uR"(^\s*prefix:\s*(.*?)\s*$)"_s,
                                               QRegularExpression::MultilineOption);
    QList<Root> roots;
    for (const QString& settings : {u"/.config/lutris/games"_s, u"/.local/share/lutris/games"_s}) {
        const HostPath folder = HostPath::fromHost(m_home + settings);
        const auto listing = list(folder);
        if (!listing)
            continue;
        for (const QString& name : listing->files) {
            if (spent())
                return roots;
            if (!name.endsWith(u".yml"_s, Qt::CaseInsensitive))
                continue;
            const QByteArray bytes = readSettings(folder.child(name));
            // Most settings name no prefix; decoding them would cost more than reading them.
            if (!bytes.contains("prefix:"))
                continue;
            // A game's settings name its one prefix; a file of a million such lines would
            // otherwise fill the memory with places.
            QString prefix = prefixLine.match(QString::fromUtf8(bytes)).captured(1);
            if (prefix.size() >= 2 && (prefix.front() == u'"' || prefix.front() == u'\'') &&
                prefix.back() == prefix.front())
                prefix = prefix.mid(1, prefix.size() - 2);
            if (prefix.startsWith(u"~/"_s))
                prefix = m_home + prefix.mid(1);
            if (!prefix.isEmpty())
                roots.append(prefixRoot(HostPath::fromHost(prefix), false));
        }
    }
    const HostPath games = HostPath::fromHost(m_home + u"/Games"_s);
    if (const auto listing = list(games)) {
        for (const QString& name : listing->folders)
            roots.append(prefixRoot(games.child(name), false));
    }
    return roots;
}

QList<GameLocator::Root> GameLocator::bottles(const HostPath& folder)
{
    QList<Root> roots;
    if (const auto listing = list(folder)) {
        for (const QString& name : listing->folders)
            roots.append(prefixRoot(folder.child(name), false));
    }
    return roots;
}

GameLocator::Root GameLocator::prefixRoot(const HostPath& prefix, bool mapped) const
{
    Root root{prefix, prefix.child(u"drive_c"_s)};
    // "c:" is that prefix's dosdevices/c:, which may lead elsewhere than its drive_c.
    std::error_code error;
    root.windowsForm = mapped && fs::equivalent(prefix.child(u"dosdevices"_s).child(u"c:"_s).fs(),
                                                root.folder.fs(), error);
    return root;
}

QString GameLocator::searchBelow(const Root& root)
{
    const auto shown = [&](const QStringList& names) {
        if (root.windowsForm)
            return u"c:\\"_s + names.join(u'\\');
        HostPath folder = root.folder;
        for (const QString& name : names)
            folder = folder.child(name);
        return folder.display();
    };
    const auto top = list(root.folder);
    if (!top)
        return {};
    m_placesLooked.append(root.place.display());
    if (top->holdsGame)
        return shown({});
    QList<QStringList> second;
    for (const QString& name : searchOrder(top->folders)) {
        const auto listing = list(root.folder.child(name));
        if (!listing)
            continue;
        if (listing->holdsGame)
            return shown({name});
        for (const QString& inner : searchOrder(listing->folders))
            second.append({name, inner});
    }
    std::stable_partition(second.begin(), second.end(),
                          [](const QStringList& names) { return mentionsRail(names.last()); });
    for (const QStringList& names : std::as_const(second)) {
        const auto listing = list(root.folder.child(names[0]).child(names[1]));
        if (listing && listing->holdsGame)
            return shown(names);
    }
    return {};
}

std::optional<GameLocator::Listing> GameLocator::list(const HostPath& folder)
{
    std::error_code error;
    if (spent() || !fs::is_directory(folder.fs(), error))
        return std::nullopt;
    if (m_listings >= kListingBudget) {
        m_spent = Spent::Listings;
        return std::nullopt;
    }
    ++m_listings;
    Listing listing;
    // A folder of a great many entries ends the search rather than stalls it.
    for (fs::directory_iterator it(folder.fs(), error), end; !error && it != end && !spent();
         it.increment(error)) {
        const QString name = HostPath::fromFs(it->path()).fileName();
        std::error_code kindError;
        if (it->is_directory(kindError)) {
            listing.folders.append(name);
        } else if (it->is_regular_file(kindError)) {
            listing.files.append(name);
            listing.holdsGame =
                listing.holdsGame || name.compare(u"RailSim.exe"_s, Qt::CaseInsensitive) == 0;
        }
    }
    listing.folders.sort();
    listing.files.sort();
    return listing;
}

QByteArray GameLocator::readSettings(const HostPath& path)
{
    return spent() ? QByteArray() : readRegularFile(path, kSettingsBytes);
}

bool GameLocator::spent()
{
    if (m_spent == Spent::Nothing && m_deadline.hasExpired())
        m_spent = Spent::Time;
    return m_spent != Spent::Nothing;
}

} // namespace veltrane
