#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "ScriptedUserInterface.h"
#include "batch/BatchCommand.h"
#include "batch/BatchInterpreter.h"
#include "batch/BatchParser.h"
#include "batch/BatchPath.h"
#include "batch/BatchWildcard.h"
#include "journal/FileChanges.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

using Icon = UserInterface::Icon;

namespace {

// The command a line was read as, by the name the user reads; empty for none.
QString commandOf(const BatchLine& line)
{
    return line.command ? line.command->name() : QString();
}

} // namespace

class TestBatchInterpreter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Reading lines, without files.
    void parseLine_data();
    void parseLine();
    void linesAndVariables();
    void wildcards_data();
    void wildcards();
    void renameMask_data();
    void renameMask();
    void resolvePaths_data();
    void resolvePaths();

    // Running files in a temporary game folder.
    void deletesBlueprintsInEveryLetterCaseBelow();
    void deleteWalkStaysInsideTheTree_data();
    void deleteWalkStaysInsideTheTree();
    void longWalkLetsTheWindowBreathe();
    void walkNamesTheFoldersItCannotRead();
    void deleteNamesWildcardsAndFolders();
    void deleteKeepsReadOnlyFilesWithoutF();
    void ifExistDecidesTheCommand();
    void cdChangesTheFolderOfLaterLines();
    void driveLettersMapIntoTheWinePrefix();
    void refusesPathsOutsideTheRoots_data();
    void refusesPathsOutsideTheRoots();
    void unknownCommandStopsTheWholeFile();
    void exitEndsTheRun();
    void exitStatusIsWhatCmdWouldLeave_data();
    void exitStatusIsWhatCmdWouldLeave();
    void copyCommands();
    void xcopyCopiesTrees();
    void moveRenameMakeAndRemove();
    void failuresAreReportedAndTheRunGoesOn();
    void failedCdEndsTheRun();
    void unreadableFileIsReported();

private:
    // Writes text as game/run.bat and runs it with the game folder as the only root.
    bool run(const QByteArray& text, const QString& working = {});
    QString at(const QString& relative) const { return m_game + u'/' + relative; }
    void touch(const QString& relative, const QByteArray& bytes = "x")
    {
        writeFile(at(relative), bytes);
    }
    bool exists(const QString& relative) const { return QFileInfo::exists(at(relative)); }

    QTemporaryDir* m_dir = nullptr;
    QString m_game;
    ScriptedUserInterface* m_ui = nullptr;
    std::vector<HostPath> m_roots;
    FileChanges m_files;
};

void TestBatchInterpreter::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_game = m_dir->path() + u"/game"_s;
    makeFolder(m_game);
    m_ui = new ScriptedUserInterface;
    m_roots = {HostPath::fromHost(m_game)};
}

void TestBatchInterpreter::cleanup()
{
    QVERIFY2(m_ui->pendingAnswers() == 0, "a scripted answer was not asked for");
    delete m_ui;
    delete m_dir;
}

bool TestBatchInterpreter::run(const QByteArray& text, const QString& working)
{
    writeFile(at(u"run.bat"_s), text);
    BatchInterpreter interpreter(*m_ui, m_files, m_roots);
    return interpreter.runFile(at(u"run.bat"_s), working.isEmpty() ? m_game : working);
}

void TestBatchInterpreter::parseLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("switches");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("problem"); // part of the reason; empty: the line can run

    auto row = [](const char* tag, const QString& line, const QString& command,
                  const QString& switches, const QString& words, const QString& problem) {
        QTest::newRow(tag) << line << command << switches << words << problem;
    };
    row("blank", u"   "_s, QString(), {}, {}, {});
    row("echo off", u"@echo off"_s, u"ECHO"_s, {}, {}, {});
    row("echo dot", u"ECHO.Installing..."_s, u"ECHO"_s, {}, {}, {});
    row("rem hides all", u"rem copy a | b > c & d"_s, QString(), {}, {}, {});
    row("label", u":start"_s, QString(), {}, {}, {});
    row("colon comment", u":: del *.*"_s, QString(), {}, {}, {});
    row("pause cls title", u"TITLE Installing %CD%"_s, u"TITLE"_s, {}, {}, {});
    row("del switches", u"DEL Blueprints.PAK /S"_s, u"DEL"_s, u"S"_s, u"Blueprints.PAK"_s, {});
    row("erase glued", u"erase/q/f a.txt,b.txt"_s, u"DEL"_s, u"Q F"_s, u"a.txt b.txt"_s, {});
    row("quoted names", u"del \"a b.txt\" c"_s, u"DEL"_s, {}, u"\"a b.txt\" c"_s, {});
    row("cd dots", u"cd.."_s, u"CD"_s, {}, u".."_s, {});
    row("cd rest of line", u"CD /D Program Files  "_s, u"CD"_s, u"D"_s, u"Program Files"_s, {});
    row("cd alone", u"chdir"_s, u"CD"_s, {}, {}, {});
    row("xcopy exe", u"xcopy.exe src dst /s /e /y /i"_s, u"XCOPY"_s, u"S E Y I"_s, u"src dst"_s,
        {});
    row("copy -y", u"copy /-Y a b"_s, u"COPY"_s, u"-Y"_s, u"a b"_s, {});
    row("exit b", u"EXIT /B 1"_s, u"EXIT"_s, u"B"_s, u"1"_s, {});
    row("md several", u"md a \"b c\""_s, u"MD"_s, {}, u"a \"b c\""_s, {});
    row("if not exist", u"IF NOT EXIST x MD x"_s, u"MD"_s, {}, u"x"_s, {});
    row("variables", u"del \"%~dp0Assets\\x.bin\" %cd%\\y"_s, u"DEL"_s, {},
        u"\"%~dp0Assets\\x.bin\" %cd%\\y"_s, {});

    row("goto", u"GOTO end"_s, QString(), {}, {}, u"\"GOTO\""_s);
    row("program", u"setup.exe /q"_s, QString(), {}, {}, u"\"setup.exe\""_s);
    row("set", u"set X=1"_s, QString(), {}, {}, u"\"set\""_s);
    row("pipe", u"dir | more"_s, QString(), {}, {}, u"pipes"_s);
    row("redirect echo", u"echo hi > log.txt"_s, QString(), {}, {}, u"redirection"_s);
    row("and", u"del a && del b"_s, QString(), {}, {}, u"(&)"_s);
    row("quoted specials are text", u"echo \"a > b & c\""_s, u"ECHO"_s, {}, {}, {});
    row("escaped specials are text", u"echo a ^> b"_s, u"ECHO"_s, {}, {}, {});
    row("continuation", u"del a ^"_s, QString(), {}, {}, u"continued"_s);
    row("comment continued", u"rem a ^"_s, QString(), {}, {}, u"continued"_s);
    row("unknown variable", u"del %TEMP%\\x"_s, u"DEL"_s, {}, {}, u"%TEMP%"_s);
    row("parameter", u"copy %1 x"_s, u"COPY"_s, {}, {}, u"parameters"_s);
    row("other tilde form", u"echo %~nx0"_s, QString(), {}, {}, u"%~dp0"_s);
    row("del asks", u"del /p x"_s, u"DEL"_s, {}, {}, u"/P"_s);
    row("unknown switch", u"xcopy a b /exclude:x"_s, u"XCOPY"_s, {}, {}, u"/EXCLUDE"_s);
    row("slash in name", u"del a.txt/s"_s, u"DEL"_s, {}, {}, u"\"/\""_s);
    row("block", u"if exist x ("_s, QString(), {}, {}, u"parentheses"_s);
    row("errorlevel", u"if errorlevel 1 del x"_s, QString(), {}, {}, u"IF EXIST"_s);
    row("else", u"if exist x del x else del y"_s, u"DEL"_s, {}, {}, u"ELSE"_s);
    row("if without command", u"if exist x"_s, QString(), {}, {}, u"command"_s);
    row("copy join", u"copy a+b c"_s, u"COPY"_s, {}, {}, u"+"_s);
    row("too many", u"copy a b c"_s, u"COPY"_s, {}, {}, u"too many"_s);
    row("del nothing", u"del /q"_s, u"DEL"_s, {}, {}, u"too few"_s);
    row("ren with folder", u"ren a.txt sub\\b.txt"_s, u"REN"_s, {}, {}, u"folder"_s);
    row("md wildcard", u"md new*"_s, u"MD"_s, {}, {}, u"wildcards"_s);
    row("control character", u"del a\u0000b"_s, QString(), {}, {}, u"control"_s);
    row("dotless i is no IF", u"\u0131f exist x del x"_s, QString(), {}, {}, u"not supported"_s);
}

void TestBatchInterpreter::parseLine()
{
    QFETCH(QString, line);
    QFETCH(QString, command);
    QFETCH(QString, switches);
    QFETCH(QString, words);
    QFETCH(QString, problem);

    const BatchLine parsed = BatchParser::parseLine(line, 7);
    QCOMPARE(parsed.number, 7);
    QCOMPARE(parsed.text, line);
    if (!problem.isEmpty()) {
        QVERIFY2(parsed.problem.contains(problem), qPrintable(parsed.problem));
        return;
    }
    QVERIFY2(parsed.problem.isEmpty(), qPrintable(parsed.problem));
    QCOMPARE(commandOf(parsed), command);
    QCOMPARE(parsed.switches.join(u' '), switches);
    QStringList raws;
    for (const BatchWord& word : parsed.words)
        raws.append(word.raw());
    QCOMPARE(raws.join(u' '), words);
}

void TestBatchInterpreter::linesAndVariables()
{
    // Line ends, numbers, an end-of-file mark.
    const QList<BatchLine> lines =
        BatchParser::parse(u"@echo off\r\n\r\nDEL x\r\nGOTO end\r\n\u001A"_s);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[2].number, 3);
    QCOMPARE(lines[2].text, u"DEL x"_s);
    QVERIFY(lines[2].problem.isEmpty());
    QCOMPARE(lines[3].number, 4);
    QVERIFY(!lines[3].problem.isEmpty());
    QVERIFY(BatchParser::parse(u""_s).isEmpty());

    // Variable values go in at run time and stay one argument.
    const BatchLine line = BatchParser::parseLine(u"copy \"%~dp0a b.txt\" %CD%\\100%%.txt"_s, 1);
    QVERIFY2(line.problem.isEmpty(), qPrintable(line.problem));
    QCOMPARE(line.words.size(), 2);
    const QString batch = u"C:\\R & S\\"_s;
    const QString current = u"D:\\x y"_s;
    QCOMPARE(line.words[0].expand(batch, current), u"C:\\R & S\\a b.txt"_s);
    QCOMPARE(line.words[1].expand(batch, current), u"D:\\x y\\100%.txt"_s);
    QVERIFY(line.words[1].hasVariables());
    // A lone "%" is dropped, as cmd does.
    const BatchLine lone = BatchParser::parseLine(u"del 50%.txt"_s, 1);
    QCOMPARE(lone.words.at(0).expand(batch, current), u"50.txt"_s);
    const BatchLine cd = BatchParser::parseLine(u"cd \"%~dp0Assets\"   "_s, 1);
    QCOMPARE(cd.words.at(0).expand(batch, current), u"C:\\R & S\\Assets"_s);
}

void TestBatchInterpreter::wildcards_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("case") << u"*.pak"_s << u"a.PAK"_s << true;
    QTest::newRow("star dot star without dot") << u"*.*"_s << u"README"_s << true;
    QTest::newRow("star") << u"*"_s << u".hidden"_s << true;
    QTest::newRow("literal case") << u"Blueprints.PAK"_s << u"BLUEPRINTS.pak"_s << true;
    QTest::newRow("other extension") << u"*.pak"_s << u"a.pak.bak"_s << false;
    QTest::newRow("prefix") << u"blue*"_s << u"Blueprints.pak"_s << true;
    QTest::newRow("question") << u"a?c.txt"_s << u"abc.txt"_s << true;
    QTest::newRow("question needs one inside") << u"a?c.txt"_s << u"ac.txt"_s << false;
    QTest::newRow("question before dot may be none") << u"ab?.txt"_s << u"ab.txt"_s << true;
    QTest::newRow("name dot star") << u"data.*"_s << u"data"_s << true;
    QTest::newRow("star dot: no extension") << u"*."_s << u"README"_s << true;
    QTest::newRow("star dot: extension") << u"*."_s << u"a.txt"_s << false;
    QTest::newRow("many stars") << u"*a*a*a*a*a*a*a*a*b"_s
                                << u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"_s << false;
    QTest::newRow("literal, longer name") << u"Blueprints.PAK"_s << u"Blueprints.PAKS"_s << false;
    QTest::newRow("literal, other letters") << u"Blueprints.PAK"_s << u"Blueprints.PAX"_s << false;
    QTest::newRow("literal beyond ASCII") << u"Ünïcode.pak"_s << u"üNÏCODE.PAK"_s << true;
    QTest::newRow("literal dot: no extension") << u"README."_s << u"readme"_s << true;
}

void TestBatchInterpreter::wildcards()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(BatchWildcard::matches(pattern, name), matches);
    // The walk's prepared form of the pattern answers the same.
    QCOMPARE(BatchWildcard::Matcher(pattern).matches(name), matches);
}

void TestBatchInterpreter::renameMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("result");
    QTest::newRow("extension") << u"*.bak"_s << u"a.txt"_s << u"a.bak"_s;
    QTest::newRow("last dot") << u"*.bak"_s << u"a.b.txt"_s << u"a.b.bak"_s;
    QTest::newRow("no dot") << u"*.bak"_s << u"README"_s << u"README.bak"_s;
    QTest::newRow("stem") << u"new.*"_s << u"longname.txt"_s << u"new.txt"_s;
    QTest::newRow("questions") << u"???.doc"_s << u"abcdef.txt"_s << u"abc.doc"_s;
    QTest::newRow("unchanged") << u"*.*"_s << u"README"_s << u"README"_s;
}

void TestBatchInterpreter::renameMask()
{
    QFETCH(QString, mask);
    QFETCH(QString, name);
    QFETCH(QString, result);
    QCOMPARE(BatchWildcard::rename(mask, name), result);
}

void TestBatchInterpreter::resolvePaths_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("resolved"); // empty: refused
    const QString game = u"C:\\Games\\RS"_s;
    QTest::newRow("relative") << game << u"Assets\\x.bin"_s << u"C:\\Games\\RS\\Assets\\x.bin"_s;
    QTest::newRow("dots") << game << u".\\a\\..\\..\\b"_s << u"C:\\Games\\b"_s;
    QTest::newRow("above the root") << game << u"..\\..\\..\\..\\x"_s << u"C:\\x"_s;
    QTest::newRow("drive") << game << u"d:\\x\\"_s << u"D:\\x"_s;
    QTest::newRow("root of drive") << game << u"\\Windows"_s << u"C:\\Windows"_s;
    QTest::newRow("same drive relative") << game << u"c:Assets"_s << u"C:\\Games\\RS\\Assets"_s;
    QTest::newRow("other drive relative") << game << u"d:Assets"_s << QString();
    QTest::newRow("network") << game << u"\\\\server\\share\\x"_s << QString();
    QTest::newRow("wildcard folder") << game << u"a*\\x"_s << QString();
    QTest::newRow("host folder") << u"/home/me/RS"_s << u"Assets\\x"_s << u"/home/me/RS/Assets/x"_s;
    QTest::newRow("host root of drive") << u"/home/me/RS"_s << u"\\x"_s << u"/x"_s;
    QTest::newRow("batch folder in host form")
        << u"C:\\y"_s << u"/home/me/RS/Assets\\..\\x"_s << u"/home/me/RS/x"_s;
}

void TestBatchInterpreter::resolvePaths()
{
    QFETCH(QString, current);
    QFETCH(QString, path);
    QFETCH(QString, resolved);
    QString error;
    QCOMPARE(BatchPath::resolve(current, path, &error), resolved);
    QCOMPARE(error.isEmpty(), !resolved.isEmpty());
}

void TestBatchInterpreter::deletesBlueprintsInEveryLetterCaseBelow()
{
    touch(u"Blueprints.PAK"_s); // above the Assets folder: not the file's business
    touch(u"Assets/Blueprints.PAK"_s);
    touch(u"Assets/Kuju/blueprints.pak"_s);
    touch(u"Assets/Kuju/RailSimulator/BLUEPRINTS.PAK"_s);
    touch(u"Assets/Kuju/RailSimulator/Blueprints.PAK.bak"_s);
    touch(u"Assets/Kuju/Other.bin"_s);
    writeFile(at(u"Assets/del_blueprints.bat"_s), "DEL Blueprints.PAK /S\r\n");

    BatchInterpreter interpreter(*m_ui, m_files, m_roots);
    QVERIFY(interpreter.runFile(at(u"Assets/del_blueprints.bat"_s), m_game + u"\\Assets"_s));
    QVERIFY2(m_ui->shown.isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    QCOMPARE(snapshot(at(u"Assets"_s)).keys(),
             (QStringList{u"Kuju/Other.bin"_s, u"Kuju/RailSimulator/Blueprints.PAK.bak"_s,
                          u"del_blueprints.bat"_s}));
    QVERIFY(exists(u"Blueprints.PAK"_s));
}

void TestBatchInterpreter::deleteWalkStaysInsideTheTree_data()
{
    QTest::addColumn<QString>("kept"); // what lies at Assets/Kuju/Blueprints.pak, and stays
    QTest::newRow("a folder of the name") << u"folder"_s;
    QTest::newRow("a link to a folder outside") << u"folder link"_s;
    QTest::newRow("a link to a file outside") << u"file link"_s;
}

void TestBatchInterpreter::deleteWalkStaysInsideTheTree()
{
    QFETCH(QString, kept);
    const QString outside = m_dir->path() + u"/outside"_s;
    writeFile(outside + u"/Blueprints.pak"_s, "someone else's");
    writeFile(outside + u"/file.txt"_s, "someone else's");
    const QString named = at(u"Assets/Kuju/Blueprints.pak"_s);
    makeFolder(at(u"Assets/Kuju"_s));
    if (kept == u"folder"_s)
        touch(u"Assets/Kuju/Blueprints.pak/Blueprints.pak"_s);
    else
        QVERIFY(QFile::link(kept == u"folder link"_s ? outside : outside + u"/file.txt"_s, named));
    // Deep below, the walk still finds the caches.
    QString deep = u"Assets"_s;
    for (int level = 0; level < 40; ++level)
        deep += u"/Level"_s + QString::number(level);
    touch(deep + u"/BLUEPRINTS.PAK"_s);

    QVERIFY(run("cd Assets\r\ndel blueprints.pak /s\r\n"));
    QVERIFY2(m_ui->shown.isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    QVERIFY(!exists(deep + u"/BLUEPRINTS.PAK"_s));
    QCOMPARE(readFile(outside + u"/Blueprints.pak"_s), QByteArray("someone else's"));
    QCOMPARE(readFile(outside + u"/file.txt"_s), QByteArray("someone else's"));
    if (kept == u"folder"_s) {
        QVERIFY2(QFileInfo(named).isDir(), "DEL leaves folders");
        QVERIFY2(!exists(u"Assets/Kuju/Blueprints.pak/Blueprints.pak"_s), "and walks into them");
    } else {
        // A link to a file is a file of the name: it goes, what it leads to stays.
        QCOMPARE(QFileInfo(named).isSymLink(), kept == u"folder link"_s);
    }
}

void TestBatchInterpreter::longWalkLetsTheWindowBreathe()
{
    // Ten folders of 300 files, the cache in the last one: the window breathes during the
    // walk, not only before and after the line.
    for (int folder = 0; folder < 10; ++folder) {
        for (int file = 0; file < 300; ++file)
            touch(u"Assets/F%1/file%2.bin"_s.arg(folder).arg(file), {});
    }
    touch(u"Assets/F9/Blueprints.PAK"_s);
    int pumpsBeforeTheCacheWent = 0;
    m_ui->onProcessEvents = [this, &pumpsBeforeTheCacheWent] {
        if (exists(u"Assets/F9/Blueprints.PAK"_s))
            ++pumpsBeforeTheCacheWent;
    };
    QVERIFY(run("del assets\\blueprints.pak /s\r\n"));
    QVERIFY(!exists(u"Assets/F9/Blueprints.PAK"_s));
    QVERIFY2(pumpsBeforeTheCacheWent >= 1 + 2700 / 1000,
             qPrintable(QString::number(pumpsBeforeTheCacheWent)));
}

void TestBatchInterpreter::walkNamesTheFoldersItCannotRead()
{
#ifdef Q_OS_UNIX
    touch(u"Assets/Locked/Blueprints.pak"_s);
    touch(u"Assets/Open/Blueprints.pak"_s);
    QFile::setPermissions(at(u"Assets/Locked"_s), QFile::WriteOwner);
    UnprivilegedScope unprivileged(m_dir->path());
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    QVERIFY(run("del Assets\\Blueprints.pak /s\r\n"));
    QVERIFY(!exists(u"Assets/Open/Blueprints.pak"_s));
    QCOMPARE(m_ui->shown.size(), 1);
    QVERIFY2(m_ui->shown[0].text.contains(at(u"Assets/Locked"_s)), qPrintable(m_ui->shown[0].text));
#else
    QSKIP("folder modes are a POSIX matter");
#endif
}

void TestBatchInterpreter::deleteNamesWildcardsAndFolders()
{
    for (const char* name : {"a.tmp", "B.TMP", "keep.txt", "x y.txt", "z.txt", "sub/s.txt",
                             "sub/deep/d.txt", "other/o.txt"})
        touch(QString::fromLatin1(name));
    QVERIFY(run("del *.tmp \"x y.txt\",Z.TXT\r\nDEL other /Q\r\n"));
    QVERIFY2(m_ui->shown.isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    QCOMPARE(snapshot(m_game).keys(),
             (QStringList{u"keep.txt"_s, u"run.bat"_s, u"sub/deep/d.txt"_s, u"sub/s.txt"_s}));

    // Every file of a folder: cmd asks first unless /Q.
    m_ui->answerNo();
    QVERIFY(run("del sub\\*.*\r\n"));
    QVERIFY(exists(u"sub/s.txt"_s));
    m_ui->answerYes();
    QVERIFY(run("del sub\\*.* /s\r\n"));
    QVERIFY(!exists(u"sub/s.txt"_s));
    QVERIFY(!exists(u"sub/deep/d.txt"_s));
    QVERIFY2(exists(u"sub/deep"_s), "DEL leaves the folders");
}

void TestBatchInterpreter::deleteKeepsReadOnlyFilesWithoutF()
{
    touch(u"locked.txt"_s);
    QFile::setPermissions(at(u"locked.txt"_s), QFile::ReadOwner);
    QVERIFY(run("del locked.txt\r\nmd after\r\n"));
    QVERIFY(exists(u"locked.txt"_s));
    QVERIFY2(exists(u"after"_s), "the run goes on after a failed line");
    QCOMPARE(m_ui->messagesWith(Icon::Exclamation).size(), 1);
    QVERIFY(m_ui->shown.first().text.contains(u"Line 1: del locked.txt"_s));

    m_ui->shown.clear();
    QVERIFY(run("del /f locked.txt\r\n"));
    QVERIFY(!exists(u"locked.txt"_s));
    QVERIFY(m_ui->shown.isEmpty());
}

void TestBatchInterpreter::ifExistDecidesTheCommand()
{
    touch(u"there.txt"_s);
    touch(u"folder/f.txt"_s);
    QVERIFY(run("IF EXIST there.txt md yes1\r\n"
                "if exist missing.txt md no1\r\n"
                "if not exist missing.txt md yes2\r\n"
                "IF NOT EXIST THERE.TXT md no2\r\n"
                "if exist folder\\nul md yes3\r\n"
                "if exist there.txt\\nul md no3\r\n"
                "if exist *.TXT if not exist *.bin md yes4\r\n"
                "if exist \"%~dp0folder\\\" del \"%~dp0folder\\f.txt\"\r\n"));
    QVERIFY2(m_ui->shown.isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    for (const QString& name : {u"yes1"_s, u"yes2"_s, u"yes3"_s, u"yes4"_s})
        QVERIFY2(exists(name), qPrintable(name));
    for (const QString& name : {u"no1"_s, u"no2"_s, u"no3"_s})
        QVERIFY2(!exists(name), qPrintable(name));
    QVERIFY(!exists(u"folder/f.txt"_s));
}

void TestBatchInterpreter::cdChangesTheFolderOfLaterLines()
{
    touch(u"x.txt"_s);
    touch(u"Sub Folder/x.txt"_s);
    touch(u"Sub Folder/y.txt"_s);
    touch(u"Sub Folder/deeper/z.txt"_s);
    QVERIFY(run("cd \"sub folder\"\r\n"
                "del x.txt\r\n"
                "cd deeper\r\n"
                "del %CD%\\z.txt\r\n"
                "cd..\r\n"
                "cd ..\\SUB FOLDER\r\n"
                "del y.txt\r\n"
                "cd /d %~dp0\r\n"
                "md top\r\n"
                "cd\r\n"
                "md top\\again\r\n"));
    QVERIFY2(m_ui->shown.isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    QVERIFY(exists(u"x.txt"_s));
    QVERIFY(!exists(u"Sub Folder/x.txt"_s));
    QVERIFY(!exists(u"Sub Folder/y.txt"_s));
    QVERIFY(!exists(u"Sub Folder/deeper/z.txt"_s));
    QVERIFY(exists(u"top/again"_s));

    // CD only under IF: later lines are checked in both folders, and run in the one reached.
    touch(u"Sub Folder/w.txt"_s);
    QVERIFY(run("if exist \"sub folder\" cd sub folder\r\ndel w.txt\r\n"));
    QVERIFY(!exists(u"Sub Folder/w.txt"_s));
    QVERIFY(!run("if exist nowhere cd nowhere\r\ndel ..\\w.txt\r\n"));
    QVERIFY(m_ui->shown.last().text.contains(u"Line 2"_s));
}

void TestBatchInterpreter::driveLettersMapIntoTheWinePrefix()
{
    const QString prefix = m_dir->path() + u"/prefix"_s;
    makeFolder(prefix + u"/drive_c/Games/RS/Assets"_s);
    makeFolder(prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, prefix + u"/dosdevices/c:"_s));
    writeFile(prefix + u"/drive_c/Games/RS/Assets/old.bin"_s, "x");
    writeFile(
        prefix + u"/drive_c/Games/RS/run.bat"_s,
        "cd games\\rs\r\ncd /d c:\\GAMES\\RS\\ASSETS\r\ndel old.bin\r\ncd d:\\\r\nmd made\r\n");
    EnvironmentGuard environment;
    environment.set("WINEPREFIX", QFile::encodeName(prefix));
    BatchInterpreter interpreter(*m_ui, m_files, {HostPath::fromProgramPath(u"C:\\Games\\RS"_s)});
    const bool ran = interpreter.runFile(u"C:\\Games\\RS\\run.bat"_s, u"C:\\"_s);
    environment.restore();
    QVERIFY2(ran, qPrintable(m_ui->texts().join(u'\n')));
    QVERIFY(!QFile::exists(prefix + u"/drive_c/Games/RS/Assets/old.bin"_s));
    // CD to another drive without /D leaves the current folder as it is.
    QVERIFY(QFileInfo(prefix + u"/drive_c/Games/RS/Assets/made"_s).isDir());
}

void TestBatchInterpreter::refusesPathsOutsideTheRoots_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("outside"); // else a line ours cannot read at all
    QTest::newRow("dots") << QByteArray("del ..\\outside\\victim.txt") << true;
    // A "/" starts a switch of cmd's own commands.
    QTest::newRow("absolute") << QByteArray("del \"OUTSIDE_ABS\\victim.txt\"") << false;
    QTest::newRow("link") << QByteArray("del link\\victim.txt") << true;
    QTest::newRow("link to file") << QByteArray("copy x.txt filelink") << true;
    QTest::newRow("longer name") << QByteArray("md ..\\gameX\\new") << true;
    QTest::newRow("cd then relative") << QByteArray("cd ..\r\nmd made") << true;
    QTest::newRow("copy destination") << QByteArray("xcopy *.txt ..\\outside /y") << true;
    QTest::newRow("whole root") << QByteArray("rd /s /q %~dp0") << true;
    QTest::newRow("root moved") << QByteArray("move %CD% sub") << true;
}

void TestBatchInterpreter::refusesPathsOutsideTheRoots()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, outside);
    const QString outsideFolder = m_dir->path() + u"/outside"_s;
    writeFile(outsideFolder + u"/victim.txt"_s, "keep");
    makeFolder(m_dir->path() + u"/gameX"_s);
    QVERIFY(QFile::link(outsideFolder, at(u"link"_s)));
    QVERIFY(QFile::link(outsideFolder + u"/victim.txt"_s, at(u"filelink"_s)));
    touch(u"first.txt"_s);
    touch(u"x.txt"_s, "new");
    makeFolder(at(u"sub"_s));
    line.replace("OUTSIDE_ABS", outsideFolder.toLocal8Bit());

    QVERIFY(!run("del first.txt\r\n" + line + "\r\n"));
    QVERIFY2(exists(u"first.txt"_s), "no line runs when one is refused");
    QCOMPARE(readFile(outsideFolder + u"/victim.txt"_s), QByteArray("keep"));
    QVERIFY(!QFileInfo::exists(m_dir->path() + u"/gameX/new"_s));
    QVERIFY(!QFileInfo::exists(m_dir->path() + u"/made"_s));
    const QStringList messages = m_ui->messagesWith(Icon::Exclamation);
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(u"Line 2: "_s), qPrintable(messages[0]));
    QVERIFY2(!messages[0].contains(u"Line 1:"_s), qPrintable(messages[0]));
    // Ours to judge, whatever other interpreter is at hand.
    BatchInterpreter interpreter(*m_ui, m_files, m_roots);
    const std::optional<BatchInterpreter::Script> script =
        interpreter.read(at(u"run.bat"_s), m_game);
    QVERIFY(script);
    QCOMPARE(script->leavesFolders(), outside);
    QCOMPARE(script->unsupported().size(), outside ? 0 : 1);
}

void TestBatchInterpreter::unknownCommandStopsTheWholeFile()
{
    touch(u"a.txt"_s);
    QVERIFY(!run("del a.txt\r\necho deleting\r\nGOTO end\r\nxcopy a b\r\nfoo.exe\r\n:end\r\n"));
    QVERIFY(exists(u"a.txt"_s));
    QCOMPARE(m_ui->shown.size(), 1);
    const QString text = m_ui->shown[0].text;
    QCOMPARE(m_ui->shown[0].icon, Icon::Exclamation);
    QVERIFY2(text.contains(u"Line 3: GOTO end\n    the command \"GOTO\" is not supported"_s),
             qPrintable(text));
    QVERIFY2(text.contains(u"Line 5: foo.exe"_s), qPrintable(text));
    QVERIFY2(!text.contains(u"Line 4"_s), qPrintable(text));
    QVERIFY2(text.contains(u"Wine"_s), qPrintable(text));
    QVERIFY2(text.contains(u"No line of the file has been run"_s), qPrintable(text));
    // Lines that another interpreter could run.
    BatchInterpreter interpreter(*m_ui, m_files, m_roots);
    const std::optional<BatchInterpreter::Script> script =
        interpreter.read(at(u"run.bat"_s), m_game);
    QVERIFY(script && !script->leavesFolders());
    QCOMPARE(script->unsupported().size(), 2);
}

void TestBatchInterpreter::exitEndsTheRun()
{
    QVERIFY(run("md one\r\nif exist one exit /b 0\r\nmd two\r\n"));
    QVERIFY(exists(u"one"_s));
    QVERIFY(!exists(u"two"_s));
    QVERIFY(m_ui->shown.isEmpty());
}

void TestBatchInterpreter::exitStatusIsWhatCmdWouldLeave_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("failures");
    QTest::newRow("all done") << QByteArray("md a\r\n") << 0 << 0;
    QTest::newRow("the last command failed")
        << QByteArray("md a\r\ncopy none.txt b.txt\r\n") << 1 << 1;
    QTest::newRow("ECHO keeps the status")
        << QByteArray("copy none.txt b.txt\r\necho done\r\n") << 1 << 1;
    QTest::newRow("a later command clears it")
        << QByteArray("copy none.txt b.txt\r\nmd a\r\n") << 0 << 1;
    QTest::newRow("EXIT's code") << QByteArray("md a\r\nexit /b 7\r\nmd b\r\n") << 7 << 0;
    QTest::newRow("EXIT without a code keeps it")
        << QByteArray("copy none.txt b.txt\r\nexit /b\r\n") << 1 << 1;
    // What the line wants is so already.
    QTest::newRow("DEL of a file that is not there") << QByteArray("del none.txt\r\n") << 0 << 0;
}

void TestBatchInterpreter::exitStatusIsWhatCmdWouldLeave()
{
    QFETCH(QByteArray, text);
    QFETCH(int, status);
    QFETCH(int, failures);
    writeFile(at(u"run.bat"_s), text);
    BatchInterpreter interpreter(*m_ui, m_files, m_roots);
    const std::optional<BatchInterpreter::Script> script =
        interpreter.read(at(u"run.bat"_s), m_game);
    QVERIFY(script && script->refused.isEmpty());
    QCOMPARE(interpreter.run(*script), status);
    QCOMPARE(interpreter.failures().size(), failures);
    QVERIFY2(!exists(u"b"_s), "nothing runs after EXIT");
    QVERIFY2(m_ui->shown.isEmpty(), "the caller tells the user");
}

void TestBatchInterpreter::copyCommands()
{
    touch(u"src/a.txt"_s, "A");
    touch(u"src/b.TXT"_s, "B");
    touch(u"src/c.bin"_s, "C");
    touch(u"dst/b.txt"_s, "old");
    QVERIFY(run("copy src\\*.txt dst /y\r\ncopy src\\c.bin dst\\renamed.bin\r\n"
                "copy src\\a.txt \"with space\\\"\r\ncopy src\\a.txt src\\A.TXT\r\n"));
    QCOMPARE(readFile(at(u"dst/a.txt"_s)), QByteArray("A"));
    QCOMPARE(readFile(at(u"dst/b.txt"_s)), QByteArray("B")); // found in any letter case
    QCOMPARE(readFile(at(u"dst/renamed.bin"_s)), QByteArray("C"));
    // Into a folder that is not there, and onto itself: failures, the source intact.
    QCOMPARE(m_ui->shown.size(), 1);
    QVERIFY(m_ui->shown[0].text.contains(u"Line 3:"_s));
    QVERIFY(m_ui->shown[0].text.contains(u"Line 4:"_s));
    QCOMPARE(readFile(at(u"src/a.txt"_s)), QByteArray("A"));

    // /-Y asks before it overwrites.
    m_ui->shown.clear();
    touch(u"dst/c.bin"_s, "old");
    m_ui->answerNo();
    QVERIFY(run("copy /-y src\\c.bin dst\r\n"));
    QCOMPARE(readFile(at(u"dst/c.bin"_s)), QByteArray("old"));
    QCOMPARE(m_ui->shown.size(), 1);
    QVERIFY(m_ui->shown[0].question);
}

void TestBatchInterpreter::xcopyCopiesTrees()
{
    touch(u"pkg/Assets/Kuju/a.bin"_s, "a");
    touch(u"pkg/Assets/Kuju/Deep/b.bin"_s, "b");
    touch(u"pkg/Assets/readme.txt"_s, "r");
    makeFolder(at(u"pkg/Assets/Empty"_s));
    touch(u"Assets/kuju/a.bin"_s, "old");
    QFile::setPermissions(at(u"pkg/Assets/readme.txt"_s), QFile::ReadOwner);

    QVERIFY(run("xcopy \"%~dp0pkg\\Assets\" Assets /s /e /y /i /q\r\n"));
    QVERIFY2(m_ui->shown.isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    QCOMPARE(readFile(at(u"Assets/kuju/a.bin"_s)), QByteArray("a")); // merged into "kuju"
    QVERIFY(!exists(u"Assets/Kuju"_s));
    QCOMPARE(readFile(at(u"Assets/kuju/Deep/b.bin"_s)), QByteArray("b"));
    QVERIFY(QFileInfo(at(u"Assets/Empty"_s)).isDir());
    QVERIFY2(QFileInfo(at(u"Assets/readme.txt"_s)).isWritable(), "copies lose read-only");

    // Without /Y, XCOPY asks before overwriting; without /S, only the top files go.
    touch(u"pkg/Assets/Kuju/a.bin"_s, "newer");
    m_ui->answerNo();
    QVERIFY(run("xcopy pkg\\Assets\\Kuju\\*.bin assets\\kuju\\\r\n"));
    QCOMPARE(readFile(at(u"Assets/kuju/a.bin"_s)), QByteArray("a"));
    QCOMPARE(m_ui->shown.size(), 1);

    // Into itself with /S would never end.
    m_ui->shown.clear();
    QVERIFY(run("xcopy pkg pkg\\copy /s /i /y\r\n"));
    QVERIFY(!exists(u"pkg/copy"_s));
    QCOMPARE(m_ui->messagesWith(Icon::Exclamation).size(), 1);
    QVERIFY(m_ui->shown[0].text.contains(u"cyclic"_s));
}

void TestBatchInterpreter::moveRenameMakeAndRemove()
{
    touch(u"a.txt"_s, "a");
    touch(u"b.txt"_s, "b");
    touch(u"c.dat"_s, "c");
    touch(u"taken.bak"_s, "t");
    touch(u"taken.txt"_s, "T");
    touch(u"tree/x/y.txt"_s);
    makeFolder(at(u"empty"_s));
    QVERIFY(run("md new\\deep\\er \"two words\"\r\n"
                "move c.dat new\r\n"
                "ren *.txt *.bak\r\n"
                "ren new\\c.dat C.DAT\r\n"
                "rd tree\r\n"
                "rd empty\r\n"
                "rd /s /q tree\r\n"));
    QVERIFY(QFileInfo(at(u"new/deep/er"_s)).isDir());
    QVERIFY(QFileInfo(at(u"two words"_s)).isDir());
    QCOMPARE(readFile(at(u"new/C.DAT"_s)), QByteArray("c"));
    QCOMPARE(readFile(at(u"a.bak"_s)), QByteArray("a"));
    QCOMPARE(readFile(at(u"b.bak"_s)), QByteArray("b"));
    // REN never overwrites; RD without /S keeps a folder with files.
    QCOMPARE(readFile(at(u"taken.bak"_s)), QByteArray("t"));
    QCOMPARE(readFile(at(u"taken.txt"_s)), QByteArray("T"));
    QVERIFY(!exists(u"empty"_s));
    QVERIFY(!exists(u"tree"_s));
    const QString report = m_ui->shown.value(0).text;
    QVERIFY2(report.contains(u"Line 3:"_s) && report.contains(u"Line 5:"_s), qPrintable(report));
    QVERIFY2(!report.contains(u"Line 7"_s), qPrintable(report));

    // MOVE of several files wants a folder.
    m_ui->shown.clear();
    QVERIFY(run("move /y *.bak new\\c.dat\r\n"));
    QVERIFY(exists(u"a.bak"_s));
    QCOMPARE(readFile(at(u"new/C.DAT"_s)), QByteArray("c"));
    QCOMPARE(m_ui->shown.size(), 1);
}

void TestBatchInterpreter::failuresAreReportedAndTheRunGoesOn()
{
    QVERIFY(run("copy missing.bin x.bin\r\nmd after\r\n"));
    QVERIFY(exists(u"after"_s));
    QCOMPARE(m_ui->shown.size(), 1);
    const QString text = m_ui->shown[0].text;
    QVERIFY2(text.contains(u"Line 1: copy missing.bin x.bin"_s), qPrintable(text));
    QVERIFY2(text.contains(u"All other commands have been carried out"_s), qPrintable(text));
}

void TestBatchInterpreter::failedCdEndsTheRun()
{
    QVERIFY(run("cd nowhere\r\nmd made\r\n"));
    QVERIFY2(!exists(u"made"_s) && !exists(u"nowhere"_s), "later lines would run elsewhere");
    QCOMPARE(m_ui->shown.size(), 1);
    QVERIFY(m_ui->shown[0].text.contains(u"after line 1 have not been run"_s));
}

void TestBatchInterpreter::unreadableFileIsReported()
{
    BatchInterpreter interpreter(*m_ui, m_files, m_roots);
    QVERIFY(!interpreter.runFile(at(u"missing.bat"_s), m_game));
    QCOMPARE(m_ui->messagesWith(Icon::Exclamation).size(), 1);
    QVERIFY(m_ui->shown[0].text.contains(u"could not be read"_s));
}

QTEST_GUILESS_MAIN(TestBatchInterpreter)
#include "tst_batchinterpreter.moc"
