#include "datafiles/DeviceDictionary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>

#include <gtest/gtest.h>

namespace {

using VPanel::DeviceDictionary;
using VPanel::parseDeviceDictionary;
using VPanel::readDeviceDictionary;

QByteArray windows1251(const QString& text) { return QTextCodec::codecForName("Windows-1251")->fromUnicode(text); }

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(windows1251(text));
}

TEST(DeviceDictionaryTest, TakesOnlyLinesOfExactlyTwoFields)
{
    struct Case {
        const char* name;
        QString file;
        DeviceDictionary expected;
    };
    const Case cases[] = {
        {"LF and CR LF line ends, Cyrillic names", "7\tТестовый блок\r\n12\tРегулятор\n",
         {{7, "Тестовый блок"}, {12, "Регулятор"}}},
        {"last line without an end", "7\tA\n8\tB", {{7, "A"}, {8, "B"}}},
        {"empty, untabbed and twice-tabbed lines", "\n7\n8\tB\tC\n9\tD\n", {{9, "D"}}},
        {"empty name kept", "5\t\r\n", {{5, ""}}},
        {"key that is no number is 0", "x\tFirst\n", {{0, "First"}}},
        {"later line wins", "7\tOld\n7\tNew\n", {{7, "New"}}},
        {"name keeps its blanks", "3\t  Блок  \n", {{3, "  Блок  "}}},
        {"every kind of line in one file",
         "7\tТест ДМ\r\n12\tРасходомер\n13\t\r\n\r\n14 no tab\r\n15\tа\tб\r\nx\tНе число\r\n7\tЗамена",
         {{7, "Замена"}, {12, "Расходомер"}, {13, ""}, {0, "Не число"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseDeviceDictionary(windows1251(c.file)), c.expected) << c.name;
}

TEST(DeviceDictionaryTest, ReadsTheFirstPathThatOpensAndNothingWhenNoneDoes)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = dir.filePath("first.txt");
    const QString second = dir.filePath("second.txt");
    writeFile(first, "300\tРегулятор\n");
    writeFile(second, "400\tДругой\n");

    const auto read = readDeviceDictionary({dir.filePath("missing.txt"), first, second});
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, (DeviceDictionary{{300, "Регулятор"}}));

    // A file that opens but holds no entry is still a dictionary, an empty one.
    writeFile(first, "");
    EXPECT_EQ(readDeviceDictionary({first, second}), DeviceDictionary{});

    EXPECT_FALSE(readDeviceDictionary({dir.filePath("missing.txt"), dir.path()}).has_value());
    EXPECT_FALSE(readDeviceDictionary({}).has_value());
}

// The installed data directory comes last, the working directory only where every data file
// is looked for; without an application object there is no executable's directory, nor the
// prefix it is in.
TEST(DataFileCandidatesTest, WorkingDirectoryThenBesideTheExecutableThenItsPrefixThenInstalled)
{
    const QString name = QStringLiteral("alarm.wav");
    const QString installed = QDir(QStringLiteral(VPANEL_DATA_DIR)).filePath(name);
    const QString working = QDir::current().filePath(name);
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(VPanel::dataFileCandidates(name), (QStringList{working, installed}));
    EXPECT_EQ(VPanel::installedFileCandidates(name), QStringList{installed});

    int argc = 1;
    char program[] = "datafiles_test";
    char* argv[] = {program, nullptr};
    const QCoreApplication application(argc, argv);
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    const QString inPrefix =
        QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/" VPANEL_DATA_DIR_FROM_BIN)).filePath(name);
    EXPECT_EQ(VPanel::dataFileCandidates(name), (QStringList{working, beside, inPrefix, installed}));
    EXPECT_EQ(VPanel::installedFileCandidates(name), (QStringList{beside, inPrefix, installed}));
}

// The only test that touches the file beside the executable.
TEST(DataFileCandidatesTest, TheDictionaryBesideTheExecutableIsFound)
{
    int argc = 1;
    char program[] = "datafiles_test";
    char* argv[] = {program, nullptr};
    const QCoreApplication application(argc, argv);
    const QString name = QString::fromLatin1(VPanel::dictionaryFileName);
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    writeFile(beside, "300\tРегулятор\n");
    const auto read = readDeviceDictionary(VPanel::installedFileCandidates(name));
    QFile::remove(beside);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value(300), "Регулятор");

    EXPECT_FALSE(readDeviceDictionary(VPanel::installedFileCandidates(name)).has_value());
}

} // namespace
