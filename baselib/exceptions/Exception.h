#pragma once

#include "baselib/Export.h"

#include <exception>
#include <string>

namespace KelBase {

// Root of every library exception. what() is the same fixed text for all of them so that
// exceptionMessage() can recognise a library exception behind a std::exception reference;
// the real text is the wide message().
class KELBASE_EXPORT Exception : public std::exception {
public:
    ~Exception() override;
    const char* what() const noexcept override;
    virtual const wchar_t* message() const = 0;
    [[noreturn]] virtual void rethrow() const = 0;
    virtual Exception* clone(const std::wstring& text) const = 0;
    virtual Exception* clone(const wchar_t* text) const = 0;
    virtual Exception* clone() const = 0;
};

struct NoExceptionMessage {};

class KELBASE_EXPORT RuntimeException : public Exception {
public:
    explicit RuntimeException(const wchar_t* text);
    explicit RuntimeException(const std::wstring& text);
    explicit RuntimeException(NoExceptionMessage);

    const wchar_t* message() const override;
    [[noreturn]] void rethrow() const override;
    Exception* clone(const std::wstring& text) const override;
    Exception* clone(const wchar_t* text) const override;
    Exception* clone() const override;

private:
    std::wstring m_message;
};

// Gives a concrete exception class its own rethrow() and clone()s, so that a copy or a
// re-worded copy keeps the dynamic class. Use: class X : public ConcreteException<X, Base>.
template <class Derived, class Base>
class KELBASE_EXPORT ConcreteException : public Base {
public:
    using Base::Base;

    [[noreturn]] void rethrow() const override { throw self(); }
    Exception* clone(const std::wstring& text) const override { return new Derived(text); }
    Exception* clone(const wchar_t* text) const override { return new Derived(text); }
    Exception* clone() const override { return new Derived(self()); }

private:
    const Derived& self() const { return static_cast<const Derived&>(*this); }
};

// The message of a library exception, otherwise what() widened in the process locale.
KELBASE_EXPORT std::wstring exceptionMessage(const std::exception& error);

} // namespace KelBase

// Declares a concrete library exception with the constructors of RuntimeException.
#define KEL_DECLARE_EXCEPTION(Name, Base, Export)                                    \
    class Export Name : public ::KelBase::ConcreteException<Name, Base> {            \
    public:                                                                          \
        using ::KelBase::ConcreteException<Name, Base>::ConcreteException;           \
    }
