#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/InitializationItem.h"
#include "baselib/plugins/FactoryCollection.h"
#include "baselib/plugins/InitializationItems.h"
#include "baselib/plugins/TypeInfo.h"
#include "baselib/plugins/VirtualConstructor.h"

#include <boost/function.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ObjectFactory;
using KelBase::TypeInfo;

struct IShape {
    virtual ~IShape() = default;
    virtual std::wstring name() const = 0;
};

struct Circle : IShape {
    std::wstring name() const override { return L"circle"; }
};

struct Square : IShape {
    std::wstring name() const override { return L"square"; }
};

IShape* createBroken() { throw DynamicPlugin::PluginException(L"сломано"); }

using ShapeFactory = Factory<IShape, std::wstring, IShape* (*)()>;
// A second factory type for the same interface: the collection keeps one per interface.
using NumberedShapeFactory = Factory<IShape, int, IShape* (*)()>;

struct IUnknownInterface {
    virtual ~IUnknownInterface() = default;
};

template <int N>
struct Marker {};

TEST(TypeInfoTest, ComparesOrdersAndNamesTypes)
{
    const TypeInfo circle = typeid(Circle), square = typeid(Square);
    EXPECT_EQ(circle, TypeInfo(typeid(Circle)));
    EXPECT_NE(circle, square);
    EXPECT_NE(circle < square, square < circle);
    EXPECT_EQ(TypeInfo(typeid(Factory<IShape, int, IShape* (*)()>)).name().find(L"ObjectFactory::Factory<"), 0u);
    EXPECT_EQ(TypeInfo(typeid(KelBase::IInitializationItem)).name(), L"KelBase::IInitializationItem");
}

// Loading the library registers no interface, so a fresh process (the death-test child, which
// runs the program anew) hands out 1 and then 2.
TEST(InterfaceIdTest, AProcessCountsFromOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const int first = Internal::createInterfaceUniqueId(typeid(Marker<1>));
            const int second = Internal::createInterfaceUniqueId(typeid(Marker<2>));
            std::exit(first == 1 && second == 2 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(InterfaceIdTest, KeepsAndForgetsIdentifiers)
{
    const int first = Internal::createInterfaceUniqueId(typeid(Marker<3>));
    const int second = Internal::createInterfaceUniqueId(typeid(Marker<4>));
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(Internal::createInterfaceUniqueId(typeid(Marker<3>)), first);
    EXPECT_EQ(Internal::getInterfaceUniqueId(typeid(Marker<3>)), first);

    Internal::releaseInterfaceUniqueId(typeid(Marker<3>));
    try {
        Internal::getInterfaceUniqueId(typeid(Marker<3>));
        ADD_FAILURE() << "a released interface still has an identifier";
    } catch (const InterfaceNotRegisteredException& error) {
        EXPECT_STREQ(error.message(), L"Интерфейс не зарегистрирован");
    }
    int id = 0;
    EXPECT_FALSE(Internal::findInterfaceUniqueId(typeid(Marker<3>), id));
    EXPECT_GT(Internal::createInterfaceUniqueId(typeid(Marker<3>)), second);
    Internal::releaseInterfaceUniqueId(typeid(Marker<3>));
    Internal::releaseInterfaceUniqueId(typeid(Marker<4>));
}

TEST(FactoryCollectionTest, KeepsOneFactoryPerInterface)
{
    FactoryCollection collection;
    EXPECT_EQ(collection.findFactory<ShapeFactory>(), nullptr);

    ShapeFactory& shapes = collection.factoryFor<ShapeFactory>();
    EXPECT_EQ(&collection.factoryFor<ShapeFactory>(), &shapes);
    EXPECT_EQ(collection.findFactory<ShapeFactory>(), &shapes);

    EXPECT_EQ(collection.findFactory<NumberedShapeFactory>(), nullptr);
    EXPECT_THROW(collection.factoryFor<NumberedShapeFactory>(), VirtualConstructorException);

    collection.removeFactoryOf<IShape>();
    EXPECT_EQ(collection.findFactory<ShapeFactory>(), nullptr);
    collection.removeFactoryOf<IUnknownInterface>();
}

TEST(FactoryTest, KeepsClassesByKeyInRegistrationOrder)
{
    ShapeFactory shapes;
    const auto circle = &createInstance<IShape, Circle>;
    const auto square = &createInstance<IShape, Square>;
    shapes.registerClass(L"b", square);
    shapes.registerClass(L"a", circle);
    shapes.registerClass(L"a", square);

    std::vector<std::wstring> made;
    shapes.forEachClass([&made](const std::wstring& key, IShape* (*create)()) {
        const std::unique_ptr<IShape> shape(create());
        made.push_back(key + L":" + shape->name());
    });
    EXPECT_EQ(made, (std::vector<std::wstring>{L"a:circle", L"a:square", L"b:square"}));
    EXPECT_EQ(*shapes.findCreator(L"a"), circle);

    shapes.unregisterClass(L"a", circle);
    EXPECT_EQ(*shapes.findCreator(L"a"), square);
    shapes.unregisterClass(L"a");
    EXPECT_EQ(shapes.findCreator(L"a"), nullptr);
    EXPECT_EQ(shapes.classCount(), 1u);
}

TEST(ScopedClassRegistrationTest, RegistersForItsLifetime)
{
    FactoryCollection collection;
    {
        const ScopedClassRegistration<ShapeFactory> circle(collection, L"circle", &createInstance<IShape, Circle>);
        EXPECT_NE(collection.findFactory<ShapeFactory>()->findCreator(L"circle"), nullptr);
    }
    EXPECT_EQ(collection.findFactory<ShapeFactory>()->classCount(), 0u);
}

class VirtualConstructorTest : public testing::Test {
protected:
    VirtualConstructorTest()
    {
        ShapeFactory& shapes = collection.factoryFor<ShapeFactory>();
        shapes.registerClass(L"circle", &createInstance<IShape, Circle>);
        shapes.registerClass(L"broken", &createBroken);
    }

    FactoryCollection collection;
    VirtualConstructor<ShapeFactory> constructor{collection};
};

TEST_F(VirtualConstructorTest, MakesRegisteredClasses)
{
    EXPECT_EQ(constructor.errorCode(), VirtualConstructorBase::NoError);
    EXPECT_EQ(constructor.make(L"circle")->name(), L"circle");
    EXPECT_EQ(constructor.errorCode(), VirtualConstructorBase::NoError);
    EXPECT_NO_THROW(constructor.throwError());
}

// Each failure is recorded with its code, and throwError() / make() throw it.
TEST_F(VirtualConstructorTest, RecordsWhyNothingWasMade)
{
    FactoryCollection empty;
    VirtualConstructor<ShapeFactory> withoutFactory(empty);
    VirtualConstructor<NumberedShapeFactory> otherFactoryType(collection);

    EXPECT_EQ(withoutFactory.create(L"circle"), nullptr);
    EXPECT_EQ(withoutFactory.errorCode(), VirtualConstructorBase::FactoryNotFound);
    EXPECT_EQ(otherFactoryType.create(1), nullptr);
    EXPECT_EQ(otherFactoryType.errorCode(), VirtualConstructorBase::FactoryNotFound);
    EXPECT_EQ(constructor.create(L"triangle"), nullptr);
    EXPECT_EQ(constructor.errorCode(), VirtualConstructorBase::ClassNotFound);

    const auto messageOf = [](const boost::function<void()>& action) {
        try {
            action();
        } catch (const VirtualConstructorException& error) {
            return std::wstring(error.message());
        }
        return std::wstring(L"nothing thrown");
    };
    EXPECT_EQ(messageOf([&] { withoutFactory.throwError(); }),
              L"Фабрика объектов для указанного интерфейса не найдена");
    EXPECT_EQ(messageOf([&] { constructor.throwError(); }), L"Класс не зарегистрирован");
    EXPECT_EQ(messageOf([&] { constructor.make(L"triangle"); }), L"Класс не зарегистрирован");
}

TEST_F(VirtualConstructorTest, RethrowsTheRecordedExceptionWithItsClass)
{
    EXPECT_EQ(constructor.create(L"broken"), nullptr);
    EXPECT_EQ(constructor.errorCode(), VirtualConstructorBase::ExceptionRecorded);

    // Copies own their own copy of the exception.
    VirtualConstructor<ShapeFactory> copy = constructor;
    constructor = VirtualConstructor<ShapeFactory>(collection);
    EXPECT_NO_THROW(constructor.throwError());
    try {
        copy.throwError();
        ADD_FAILURE() << "nothing thrown";
    } catch (const DynamicPlugin::PluginException& error) {
        EXPECT_EQ(typeid(error), typeid(DynamicPlugin::PluginException));
        EXPECT_STREQ(error.message(), L"сломано");
    }
}

} // namespace
