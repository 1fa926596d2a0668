#include "baselib/exceptions/BasicVerifier.h"
#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Conversion.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include <libintl.h>

namespace {

using KelBase::Exception;

template <class E>
void expectKeepsClassAndText()
{
    const E original(L"первый");
    EXPECT_STREQ(original.what(), "KEL_EXCEPTION");
    EXPECT_STREQ(original.message(), L"первый");

    std::unique_ptr<Exception> reworded(original.clone(std::wstring(L"второй")));
    EXPECT_EQ(typeid(*reworded), typeid(E));
    EXPECT_STREQ(reworded->message(), L"второй");

    std::unique_ptr<Exception> rewordedC(original.clone(L"третий"));
    EXPECT_EQ(typeid(*rewordedC), typeid(E));
    EXPECT_STREQ(rewordedC->message(), L"третий");

    std::unique_ptr<Exception> copy(original.clone());
    EXPECT_EQ(typeid(*copy), typeid(E));
    EXPECT_STREQ(copy->message(), L"первый");

    const Exception& base = original;
    EXPECT_THROW(base.rethrow(), E);
}

TEST(ExceptionTree, EveryClassKeepsItsClassThroughCloneAndRethrow)
{
    expectKeepsClassAndText<KelBase::RuntimeException>();
    expectKeepsClassAndText<KelBase::CommandLineException>();
    expectKeepsClassAndText<KelBase::NonConvertibleException>();
    expectKeepsClassAndText<KelBase::ObjectReleasedException>();
    expectKeepsClassAndText<KelBase::StringResourceAccess::ResourceNotFoundException>();
    expectKeepsClassAndText<KelTime::DateTimeException>();
    expectKeepsClassAndText<ObjectFactory::InterfaceNotRegisteredException>();
    expectKeepsClassAndText<ObjectFactory::VirtualConstructorException>();
    expectKeepsClassAndText<DynamicPlugin::PluginException>();
    expectKeepsClassAndText<DynamicPlugin::PluginSystemException>();
    expectKeepsClassAndText<Threading::ThreadingException>();
    expectKeepsClassAndText<Threading::ActiveObjectException>();
    expectKeepsClassAndText<Threading::PThreadException>();
    expectKeepsClassAndText<Threading::ThreadException>();
    expectKeepsClassAndText<Threading::SynchronizationException>();
    expectKeepsClassAndText<Threading::MutexException>();
    expectKeepsClassAndText<Threading::RWLockException>();
    expectKeepsClassAndText<Threading::ConditionException>();
    expectKeepsClassAndText<Threading::SemaphoreException>();
    expectKeepsClassAndText<Threading::BarrierException>();
}

TEST(ExceptionTree, RewordedMutexExceptionIsCaughtAsSynchronizationException)
{
    const Threading::MutexException original(L"old");
    std::unique_ptr<Exception> reworded(original.clone(L"new"));
    try {
        reworded->rethrow();
        FAIL() << "rethrow returned";
    } catch (const Threading::SynchronizationException& caught) {
        EXPECT_EQ(typeid(caught), typeid(Threading::MutexException));
        EXPECT_STREQ(caught.message(), L"new");
    }
}

TEST(ExceptionTree, NoExceptionMessageGivesEmptyText)
{
    const KelBase::RuntimeException empty{KelBase::NoExceptionMessage()};
    EXPECT_STREQ(empty.message(), L"");
    EXPECT_STREQ(KelBase::RuntimeException(static_cast<const wchar_t*>(nullptr)).message(), L"");
}

TEST(ExceptionMessage, LibraryAndStandardExceptions)
{
    EXPECT_EQ(KelBase::exceptionMessage(KelBase::RuntimeException(L"abc")), L"abc");
    EXPECT_EQ(KelBase::exceptionMessage(Threading::MutexException(L"мьютекс")), L"мьютекс");
    EXPECT_EQ(KelBase::exceptionMessage(std::runtime_error("abc")), L"abc");
    const std::bad_alloc badAlloc;
    EXPECT_EQ(KelBase::exceptionMessage(badAlloc), KelBase::Conversion::stringFromCCharStr(badAlloc.what()));
}

TEST(ExceptionMessage, ForeignClassImitatingTheMarkerIsNotTrusted)
{
    struct Impostor : std::exception {
        const char* what() const noexcept override { return "KEL_EXCEPTION"; }
    };
    EXPECT_EQ(KelBase::exceptionMessage(Impostor()), L"KEL_EXCEPTION");
}

TEST(UnrealizedException, MessageNamesTheFunctionOnThreeLines)
{
    const KelBase::UnrealizedException unrealized(L"f");
    EXPECT_STREQ(unrealized.message(), L"Function\n'f'\nUNREALIZED!");
    EXPECT_STREQ(unrealized.what(), "KEL_EXCEPTION");

    std::unique_ptr<Exception> reworded(unrealized.clone(L"other"));
    EXPECT_EQ(typeid(*reworded), typeid(KelBase::UnrealizedException));
    EXPECT_STREQ(reworded->message(), L"other");
    EXPECT_THROW(reworded->rethrow(), KelBase::UnrealizedException);
}

TEST(ErrorMessage, SystemTextOrNull)
{
    const KelWin::ErrorMessage notFound(ENOENT);
    ASSERT_NE(notFound.text(), nullptr);
    EXPECT_EQ(std::wstring(notFound.text()), KelBase::Conversion::stringFromCCharStr(std::strerror(ENOENT)));

    EXPECT_EQ(KelWin::ErrorMessage(987654).text(), nullptr);
    EXPECT_EQ(KelWin::ErrorMessage(~0UL).text(), nullptr);

    errno = EACCES;
    const KelWin::LastErrorMessage last;
    ASSERT_NE(last.text(), nullptr);
    EXPECT_EQ(std::wstring(last.text()), KelBase::Conversion::stringFromCCharStr(std::strerror(EACCES)));
}

// Writes a message catalogue (.mo) with the given pairs, the originals in ascending order.
void writeMessageCatalogue(const std::string& path, const std::vector<std::pair<std::string, std::string>>& pairs)
{
    constexpr std::uint32_t magic = 0x950412de;
    constexpr std::uint32_t headerSize = 28;
    const auto count = static_cast<std::uint32_t>(pairs.size());
    const std::uint32_t originals = headerSize;
    const std::uint32_t translations = originals + 8 * count;
    const std::uint32_t strings = translations + 8 * count;
    std::vector<std::uint32_t> words{magic, 0, count, originals, translations, 0, strings};
    std::string text;
    const auto addString = [&](const std::string& value) {
        words.push_back(static_cast<std::uint32_t>(value.size()));
        words.push_back(strings + static_cast<std::uint32_t>(text.size()));
        text += value;
        text += '\0';
    };
    for (const auto& pair : pairs)
        addString(pair.first);
    for (const auto& pair : pairs)
        addString(pair.second);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(words.size() * 4));
    file << text;
}

// The system's messages in another language: an unknown code still has no text, a known one
// keeps the translated text.
TEST(ErrorMessage, UnknownCodeHasNoTextInAnyLanguage)
{
    char directory[] = "/tmp/kel-messages-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string messages = std::string(directory) + "/ru/LC_MESSAGES";
    std::filesystem::create_directories(messages);
    writeMessageCatalogue(messages + "/libc.mo", {{"", "Content-Type: text/plain; charset=UTF-8\n"},
                                                  {"No such file or directory", "Нет такого файла или каталога"},
                                                  {"Unknown error ", "Неизвестная ошибка "}});
    // In a child process: the language and the catalogue are process-wide.
    EXPECT_EXIT(
        {
            setenv("LANGUAGE", "ru", 1);
            std::setlocale(LC_ALL, "C.UTF-8");
            bindtextdomain("libc", directory);
            const bool translated = std::strcmp(std::strerror(ENOENT), "Нет такого файла или каталога") == 0;
            const KelWin::ErrorMessage known(ENOENT);
            const bool knownKept = known.text() &&
                                   std::wstring(known.text()) == KelBase::Conversion::stringFromCCharStr(std::strerror(ENOENT));
            const bool unknownHasNone = KelWin::ErrorMessage(987654).text() == nullptr;
            std::fprintf(stderr, "translated %d, known kept %d, unknown has none %d", translated, knownKept,
                         unknownHasNone);
            std::_Exit(translated && knownKept && unknownHasNone ? 0 : 1);
        },
        testing::ExitedWithCode(0), "translated 1, known kept 1, unknown has none 1");
    std::filesystem::remove_all(directory);
}

struct VerifierProbe : Threading::BasicVerifier {
    using BasicVerifier::errnoToMessage;
    using BasicVerifier::errorCodeToMessage;
};

TEST(BasicVerifier, PosixThreadTexts)
{
    EXPECT_EQ(VerifierProbe::errorCodeToMessage(22), L"pthread error #22");
    errno = 11;
    EXPECT_EQ(VerifierProbe::errnoToMessage(), L"pthread error from 'errno' #11");
}

} // namespace
