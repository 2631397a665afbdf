#include "FileFixture.h"
#include "ScriptedUserInterface.h"
#include "journal/FileChanges.h"
#include "journal/TextFileWriter.h"
#include "util/FileError.h"
#include "util/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

// Mapped as the program maps its paths: trailing separators go, letter case is matched.
HostPath mapped(const QString& programPath)
{
    return HostPath::fromProgramPath(programPath);
}

// Outside an install: neither confined nor journaled.
Expected<void> writeText(UserInterface& ui, const HostPath& path, const QString& text)
{
    FileChanges files;
    return writeTextFile(files, ui, path, text);
}

} // namespace

class TestTextFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }

private Q_SLOTS:
    void existenceTests();
    void dirExistsIgnoresOneTrailingBackslash();
    void everyByteSurvivesReadAndWrite();
    void mkrNamesReadAsUtf16InAnyCase();
    void missingFileLeavesTextAlone();
    void unreadableFilePassesFailureOn();
    void emptyTextIsReportedAfterWriting();
    void writeIntoMissingFolderReportsPlatformText();
    void unencodableCharacterKeepsOldFile();
    void failedWriteKeepsOldFile();
    void pipeIsNeverOpened();
};

void TestTextFile::existenceTests()
{
    writeFile(path(u"present.txt"_s), "x");
    makeFolder(path(u"folder"_s));
    QVERIFY(fileExists(mapped(path(u"present.txt"_s))));
    QVERIFY(!fileExists(mapped(path(u"absent.txt"_s))));
    QVERIFY2(!fileExists(mapped(path(u"folder"_s))), "a folder is not a file");
    QVERIFY(!fileExists(mapped(QString())));
    QVERIFY(folderExists(mapped(path(u"folder"_s))));
    QVERIFY(!folderExists(mapped(path(u"present.txt"_s))));
    QVERIFY(!folderExists(mapped(path(u"absent"_s))));
    QVERIFY(!folderExists(mapped(QString())));
}

void TestTextFile::dirExistsIgnoresOneTrailingBackslash()
{
    makeFolder(path(u"Game/Content"_s));
    const QString folder = m_dir.path() + u"\\Game\\Content"_s;
    QVERIFY(folderExists(mapped(folder)));
    QVERIFY(folderExists(mapped(folder + u'\\')));
    QVERIFY(folderExists(mapped(folder + u"\\\\"_s)));
    QVERIFY(!folderExists(mapped(m_dir.path() + u"\\Game\\Missing\\"_s)));
}

void TestTextFile::everyByteSurvivesReadAndWrite()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    all.append("\r\n\xC3\xA9 UTF-8 bytes stay bytes\r\n");
    writeFile(path(u"all.xml"_s), all);

    ScriptedUserInterface ui;
    QString text;
    readTextFile(ui, mapped(path(u"all.xml"_s)), text);
    QCOMPARE(text.size(), all.size());
    QCOMPARE(text.at(0x80), QChar(0x20AC)); // the euro sign of the code page
    QCOMPARE(text.at(0x81), QChar(0x81));   // unassigned bytes keep their value
    QVERIFY(writeText(ui, mapped(path(u"copy.xml"_s)), text));
    QCOMPARE(readFile(path(u"copy.xml"_s)), all);
    QVERIFY(ui.shown.isEmpty());
    QVERIFY2(ui.eventPumps >= 2, "reader and writer each let the window breathe");
}

void TestTextFile::mkrNamesReadAsUtf16InAnyCase()
{
    const QString sample = u"Zürich \u20AC \u0416"_s;
    QByteArray utf16(reinterpret_cast<const char*>(sample.utf16()), sample.size() * 2);
    for (const QString& name : {u"a.mkr"_s, u"b.MKR"_s, u"c.Mkr"_s, u"dmkr"_s}) {
        writeFile(path(name), utf16);
        ScriptedUserInterface ui;
        QString text;
        readTextFile(ui, mapped(path(name)), text);
        QCOMPARE(text, sample);
    }
    writeFile(path(u"e.xml"_s), utf16);
    ScriptedUserInterface ui;
    QString text;
    readTextFile(ui, mapped(path(u"e.xml"_s)), text);
    QCOMPARE(text.size(), utf16.size());

    // Whatever was read, the writer writes the code page.
    QVERIFY(writeText(ui, mapped(path(u"out.mkr"_s)), u"Zürich"_s));
    QCOMPARE(readFile(path(u"out.mkr"_s)), QByteArray("Z\xFCrich"));
}

void TestTextFile::missingFileLeavesTextAlone()
{
    ScriptedUserInterface ui;
    QString text = u"earlier document"_s;
    readTextFile(ui, mapped(path(u"nothing-here.xml"_s)), text);
    QCOMPARE(text, u"earlier document"_s);
    readTextFile(ui, mapped(m_dir.path()), text);
    QCOMPARE(text, u"earlier document"_s);
    QVERIFY(ui.shown.isEmpty());
}

void TestTextFile::unreadableFilePassesFailureOn()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    writeFile(dir.path() + u"/locked.xml"_s, "data");
    ::chmod(QFile::encodeName(dir.path() + u"/locked.xml"_s).constData(), 0);
    UnprivilegedScope unprivileged(dir.path());
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    ScriptedUserInterface ui;
    QString text = u"kept"_s;
    QVERIFY(!fileExists(mapped(dir.path() + u"/locked.xml"_s)));
    QVERIFY_THROWS_EXCEPTION(FileError,
                             readTextFile(ui, mapped(dir.path() + u"/locked.xml"_s), text));
    QCOMPARE(text, u"kept"_s);
#else
    QSKIP("file modes are a POSIX matter");
#endif
}

void TestTextFile::emptyTextIsReportedAfterWriting()
{
    ScriptedUserInterface ui;
    QVERIFY(!writeText(ui, mapped(path(u"empty.xml"_s)), QString()));
    QVERIFY(QFile::exists(path(u"empty.xml"_s)));
    QCOMPARE(QFileInfo(path(u"empty.xml"_s)).size(), 0);
    QCOMPARE(ui.texts(), QStringList{u"An error occurred while writing "_s + path(u"empty.xml"_s)});
    QCOMPARE(ui.shown.first().icon, UserInterface::Icon::Exclamation);
}

void TestTextFile::writeIntoMissingFolderReportsPlatformText()
{
    ScriptedUserInterface ui;
    const QString target = path(u"no-such-folder/list.xml"_s);
    QVERIFY(!writeText(ui, mapped(target), u"<x/>"_s));
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QDir(path(u"no-such-folder"_s)).exists());
    QCOMPARE(ui.shown.size(), 1);
    const QString message = ui.shown.first().text;
    QVERIFY2(message.endsWith(u" occurred in WriteUniFile while processing\r\nfile "_s + target),
             qPrintable(message));
    QVERIFY2(!message.startsWith(u" occurred"_s), "the platform's description comes first");
}

void TestTextFile::unencodableCharacterKeepsOldFile()
{
    writeFile(path(u"routes.xml"_s), "old list");
    ScriptedUserInterface ui;
    QVERIFY(!writeText(ui, mapped(path(u"routes.xml"_s)), u"new \u0416 list"_s));
    QCOMPARE(readFile(path(u"routes.xml"_s)), QByteArray("old list"));
    QCOMPARE(ui.shown.size(), 1);
    QVERIFY(ui.shown.first().text.contains(u"U+0416"_s));
    QVERIFY(
        ui.shown.first().text.contains(u" occurred in WriteUniFile while processing\r\nfile "_s));
}

void TestTextFile::failedWriteKeepsOldFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString target = dir.path() + u"/Content/Routes.xml"_s;
    writeFile(target, "old list");
    ::chmod(QFile::encodeName(dir.path() + u"/Content"_s).constData(), 0555);
    UnprivilegedScope unprivileged(dir.path());
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    ScriptedUserInterface ui;
    QVERIFY(!writeText(ui, mapped(target), u"a much longer new list"_s));
    QCOMPARE(readFile(target), QByteArray("old list"));
    QCOMPARE(ui.shown.size(), 1);
    QVERIFY(ui.shown.first().text.contains(u"occurred in WriteUniFile"_s));
#else
    QSKIP("file modes are a POSIX matter");
#endif
}

void TestTextFile::pipeIsNeverOpened()
{
#ifdef Q_OS_UNIX
    // A marker file that is a named pipe would block the open, and the window, for ever.
    const QString pipe = path(u"Veltrane.xxx"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    QVERIFY(!fileExists(mapped(pipe)));
    ScriptedUserInterface ui;
    QString text;
    QVERIFY_THROWS_EXCEPTION(FileError, readTextFile(ui, mapped(pipe), text));
#else
    QSKIP("named pipes are a POSIX matter here");
#endif
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
