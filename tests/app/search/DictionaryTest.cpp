#include "tests/app/search/SearchTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextCodec>

#include <gtest/gtest.h>

namespace {

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
    file.write(QTextCodec::codecForName("Windows-1251")->fromUnicode("300\tРегулятор\n"));
    file.close();
    {
        const QOFindDevice window;
        EXPECT_EQ(SearchTest::part<QListWidget>(window, "infoView_2")->count(), 0);
    }

    QFile::remove(besideExecutable);
    const QOFindDevice window;
    EXPECT_EQ(SearchTest::texts(SearchTest::part<QListWidget>(window, "infoView_2")),
              QStringList{"Отсутствует или недоступен файл словаря идентификаторов."});
}

} // namespace
