#include "app/search/DeviceDictionary.h"
#include "tests/app/search/SearchTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextCodec>

#include <gtest/gtest.h>

namespace {

using VPanel::Search::DeviceDictionary;
using VPanel::Search::parseDeviceDictionary;

QByteArray windows1251(const QString& text)
{
    return QTextCodec::codecForName("Windows-1251")->fromUnicode(text);
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
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseDeviceDictionary(windows1251(c.file)), c.expected) << c.name;
}

// The only test that touches the file beside the executable, so that tests run side by side
// never see one another's dictionary.
class DictionaryFileTest : public SearchTest::SearchEnvironment {
protected:
    ~DictionaryFileTest() override { QFile::remove(besideExecutable); }

    const QString besideExecutable = QDir(QCoreApplication::applicationDirPath()).filePath("dictionary.txt");
};

TEST_F(DictionaryFileTest, TheWindowReadsTheFileBesideTheExecutable)
{
    QFile file(besideExecutable);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(windows1251("300\tРегулятор\n"));
    file.close();
    const auto read = VPanel::Search::readDeviceDictionary();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value(300), "Регулятор");
    {
        const QOFindDevice window;
        EXPECT_EQ(SearchTest::part<QListWidget>(window, "infoView_2")->count(), 0);
    }

    QFile::remove(besideExecutable);
    EXPECT_FALSE(VPanel::Search::readDeviceDictionary().has_value());
    const QOFindDevice window;
    EXPECT_EQ(SearchTest::texts(SearchTest::part<QListWidget>(window, "infoView_2")),
              QStringList{"Отсутствует или недоступен файл словаря идентификаторов."});
}

} // namespace
