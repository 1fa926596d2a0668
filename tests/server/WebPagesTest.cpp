// The web pages as the server ships them: every file in its resources, nothing the pages'
// content security policy would block or that would run a device's text as markup, and every
// word they show in the catalogue, in both languages.

#include "server/web/WebTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

QString resourceText(const QString& name)
{
    QFile file(QStringLiteral(":/web/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList shippedFiles(const QStringList& patterns)
{
    return QDir(QStringLiteral(":/web")).entryList(patterns, QDir::Files);
}

QStringList captures(const QString& text, const QString& pattern, int group = 1)
{
    QStringList found;
    auto matches = QRegularExpression(pattern).globalMatch(text);
    while (matches.hasNext())
        found << matches.next().captured(group);
    return found;
}

std::string joined(const QSet<QString>& keys)
{
    QStringList list(keys.begin(), keys.end());
    list.sort();
    return list.join(QLatin1Char(' ')).toStdString();
}

TEST(WebPagesTest, EveryFileOfTheFolderIsShippedAndEveryReferenceIsToAShippedFile)
{
    const QStringList sourceFiles =
        QDir(QStringLiteral(VPANEL_WEB_DIR)).entryList({"*.html", "*.js", "*.css"}, QDir::Files);
    ASSERT_FALSE(sourceFiles.isEmpty());
    for (const QString& name : sourceFiles)
        EXPECT_TRUE(QFile::exists(QStringLiteral(":/web/") + name)) << name.toStdString() << " is not in web.qrc";

    for (const QString& page : shippedFiles({"*.html"})) {
        SCOPED_TRACE(page.toStdString());
        const QString html = resourceText(page);
        QStringList references = captures(html, QStringLiteral(R"re(<script[^>]*\ssrc="([^"]*)")re"));
        references << captures(html, QStringLiteral(R"re(<link rel="stylesheet" href="([^"]*)")re"));
        references << captures(html, QStringLiteral(R"re(<a [^>]*href="/([^"?]*))re"));
        EXPECT_GE(references.size(), 2);
        for (const QString& reference : references)
            EXPECT_TRUE(QFile::exists(QStringLiteral(":/web/") + reference)) << reference.toStdString();
    }
}

TEST(WebPagesTest, NothingThePolicyBlocksAndNoDeviceTextAsMarkup)
{
    struct Rule {
        QStringList files;
        QString forbidden;
        const char* why;
    };
    const QStringList pages = shippedFiles({"*.html"});
    const QStringList scripts = shippedFiles({"*.js"});
    const QStringList everything = shippedFiles({"*.html", "*.js", "*.css"});
    const std::vector<Rule> rules{
        {pages, QStringLiteral(R"re(<script(?![^>]*\ssrc=)[^>]*>)re"), "a script without src runs inline"},
        {pages, QStringLiteral(R"re(<script[^>]*>[^<]+</script>)re"), "a script with a body runs inline"},
        {pages, QStringLiteral(R"re(<style|\sstyle=)re"), "inline styles are blocked"},
        {pages, QStringLiteral(R"re(\son[a-z]+=)re"), "inline event handlers are blocked"},
        {everything, QStringLiteral(R"re(javascript:|https?://|//[a-z0-9.-]+\.[a-z]{2,}/)re"), "nothing from elsewhere"},
        {scripts, QStringLiteral(R"re(innerHTML|outerHTML|insertAdjacentHTML|document\.write)re"),
         "text from the device or the server must not become markup"},
        {scripts, QStringLiteral(R"re(\beval\(|new Function|setAttribute\("style")re"), "blocked by the policy"},
    };
    for (const Rule& rule : rules) {
        SCOPED_TRACE(rule.why);
        const QRegularExpression forbidden(rule.forbidden);
        for (const QString& file : rule.files) {
            const QRegularExpressionMatch match = forbidden.match(resourceText(file));
            EXPECT_FALSE(match.hasMatch()) << file.toStdString() << ": " << match.captured().toStdString();
        }
    }
}

// The words a page shows: keys of the data-text attributes and the quoted keys in text(...).
QSet<QString> keysThePagesUse()
{
    QSet<QString> keys;
    for (const QString& page : shippedFiles({"*.html"}))
        for (const QString& key :
             captures(resourceText(page), QStringLiteral(R"re(data-(?:text|text-label|text-title|title)="([^"]*)")re")))
            keys << key;
    for (const QString& script : shippedFiles({"*.js"}))
        for (const QString& call : captures(resourceText(script), QStringLiteral(R"re(\btext\(([^()]*))re")))
            for (const QString& key : captures(call, QStringLiteral(R"re("(\w+)")re")))
                keys << key;
    return keys;
}

TEST(WebTextsTest, EveryWordThePagesShowIsInTheTextsAndEveryTextIsShown)
{
    const QSet<QString> used = keysThePagesUse();
    const QStringList keyList = VPanel::Server::webTexts().keys();
    const QSet<QString> known(keyList.begin(), keyList.end());
    EXPECT_GT(used.size(), 30);
    EXPECT_TRUE((used - known).isEmpty()) << "not in WebTexts: " << joined(used - known);
    EXPECT_TRUE((known - used).isEmpty()) << "shown nowhere: " << joined(known - used);
}

TEST(WebTextsTest, RussianAndEnglishEachForEveryWordWithTheSamePlaceholders)
{
    int argc = 1;
    char name[] = "server_web_test";
    char* argv[] = {name};
    QCoreApplication application(argc, argv);
    const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));

    QTranslator none;
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/Resources/eng.qm")));
    const QJsonObject russian = VPanel::Server::webTexts(&none);
    EXPECT_EQ(VPanel::Server::webTexts(), russian);
    const QJsonObject translated = VPanel::Server::webTexts(&english);
    ASSERT_TRUE(QCoreApplication::installTranslator(&english));
    EXPECT_EQ(VPanel::Server::webTexts(), translated);

    for (auto it = russian.begin(); it != russian.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const QString source = it.value().toString();
        const QString text = translated.value(it.key()).toString();
        EXPECT_FALSE(source.trimmed().isEmpty());
        EXPECT_EQ(captures(text, QStringLiteral("%\\d"), 0), captures(source, QStringLiteral("%\\d"), 0)) << text.toStdString();
        // The language's own name is the one word that stays Russian in English.
        if (it.key() != QLatin1String("russian")) {
            EXPECT_FALSE(text.contains(cyrillic)) << text.toStdString();
        }
    }
}

} // namespace
