// vpanel-gateway as a site runs it: the simulator's two devices on a pseudo-terminal, a real
// mosquitto with a gateway, an operator and a viewer account, and clients of the broker.

#include "mqtt/Client.h"

#include "MosquittoBroker.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <memory>

namespace {
using namespace VPanel;
using KelTestSupport::MosquittoBroker;

constexpr int eventBound_ms = 30000;
const char* const gatewayPassword = "gw-pass-1";
const char* const operatorPassword = "op-pass-2";
const char* const viewerPassword = "view-pass-3";
const QStringList devices = {QStringLiteral("boiler"), QStringLiteral("press")};

const char* const acl = "user gw\ntopic readwrite vpanel/s1/#\n"
                        "user op\ntopic read vpanel/#\ntopic write vpanel/+/+/keys\n"
                        "user view\ntopic read vpanel/#\n";

// What a broker client saw last on each topic.
class Watcher {
public:
    Watcher(const MosquittoBroker& broker, const char* user, const char* password)
    {
        Mqtt::ClientOptions options;
        options.broker = Mqtt::BrokerAddress::parse(QString::fromStdString(broker.url()));
        options.username = QString::fromLatin1(user);
        options.password = QString::fromLatin1(password);
        client = std::make_unique<Mqtt::Client>(options);
        QObject::connect(client.get(), &Mqtt::Client::message, client.get(),
                         [this](const QString& topic, const QByteArray& payload) {
                             latest[topic] = QJsonDocument::fromJson(payload).object();
                         });
        client->subscribe(QStringLiteral("vpanel/s1/#"), 1);
        client->start();
    }

    QJsonObject last(const QString& device, const char* leaf) const
    {
        const auto found = latest.find(QStringLiteral("vpanel/s1/%1/%2").arg(device, QLatin1String(leaf)));
        return found == latest.end() ? QJsonObject() : found->second;
    }
    QString link(const QString& device) const { return last(device, "state").value(QStringLiteral("link")).toString(); }
    bool shows(const QString& device, const QString& text) const
    {
        for (const QJsonValue row : last(device, "screen").value(QStringLiteral("rows")).toArray())
            if (row.toString().contains(text))
                return true;
        return false;
    }
    bool everyDevice(const std::function<bool(const QString&)>& holds) const
    {
        return std::all_of(devices.begin(), devices.end(), holds);
    }
    bool publish(const QString& device, const QByteArray& keys, bool retain = false)
    {
        return QTest::qWaitFor([&] { return client->isConnected(); }, eventBound_ms) &&
               client->publish(QStringLiteral("vpanel/s1/%1/keys").arg(device), keys, 1, retain);
    }

    std::unique_ptr<Mqtt::Client> client;
    std::map<QString, QJsonObject> latest;
};

class GatewaySessionTest : public ::testing::Test {
protected:
    GatewaySessionTest()
        : broker({{"gw", gatewayPassword}, {"op", operatorPassword}, {"view", viewerPassword}}, acl)
    {
    }

    void SetUp() override
    {
        std::string failure;
        ASSERT_TRUE(broker.start(failure)) << failure;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KELCOMM_PORTS_DIR"), folder.filePath(QStringLiteral("ports")));
        simulator.setProcessEnvironment(environment);
        gateway.setProcessEnvironment(environment);
        // A reply lost while a loaded machine starves the simulator would leave its rows unsent: the
        // devices here redraw their screens, as devices do that do not count on every reply arriving.
        simulator.start(QStringLiteral(VPANEL_DEVSIM), QStringLiteral("--port COM7 --device 1 --device 2 --redraw 500").split(QLatin1Char(' ')));
        ASSERT_TRUE(QTest::qWaitFor([&] { return simulator.readAllStandardOutput().contains("COM7 ->"); }, eventBound_ms));
        startGateway();
    }

    void TearDown() override
    {
        gateway.kill();
        gateway.waitForFinished();
        simulator.kill();
        simulator.waitForFinished();
    }

    void startGateway()
    {
        gateway.start(QStringLiteral(VPANEL_GATEWAY),
                      QStringLiteral("--broker %1 --site s1 --device boiler=COM7,1,115200 --device press=COM7,2,115200 "
                                     "--username gw --password-file %2 --lang en")
                          .arg(QString::fromStdString(broker.url()), QString::fromStdString(broker.secretFile(gatewayPassword)))
                          .split(QLatin1Char(' ')));
    }

    // The gateway's log so far, kept across reads.
    const QString& gatewayLog()
    {
        log += QString::fromUtf8(gateway.readAllStandardError());
        return log;
    }

    // Whether the watcher comes to see every device live with its screen.
    static bool allLive(const Watcher& watcher)
    {
        const auto live = [&](const QString& device) {
            return watcher.link(device) == QLatin1String("live") && watcher.shows(device, QStringLiteral("Device #"));
        };
        return QTest::qWaitFor([&] { return watcher.everyDevice(live); }, eventBound_ms);
    }

    // Whether the gateway's log comes to say `text` as often.
    bool logSays(const char* text, int times = 1)
    {
        return QTest::qWaitFor([&] { return gatewayLog().count(QLatin1String(text)) >= times; }, eventBound_ms);
    }

    // The boiler's screen stays off its menu for three more screens: a key handed over by now
    // would show by then, as the simulator changes its screen every poll.
    static void expectNoKeyTaken(const Watcher& viewer)
    {
        const auto screenNumber = [&] { return viewer.last(QStringLiteral("boiler"), "screen").value(QStringLiteral("seq")).toInteger(); };
        const qint64 markedScreen = screenNumber();
        ASSERT_TRUE(QTest::qWaitFor([&] { return screenNumber() >= markedScreen + 3; }, eventBound_ms));
        EXPECT_FALSE(viewer.shows(QStringLiteral("boiler"), QStringLiteral("Menu")));
    }

    MosquittoBroker broker;
    QTemporaryDir folder;
    QProcess simulator;
    QProcess gateway;
    QString log;
};

TEST_F(GatewaySessionTest, StateAndScreenAreRetainedAndOnlyAnOperatorsKeysReachTheDevice)
{
    {
        Watcher early(broker, "view", viewerPassword);
        ASSERT_TRUE(allLive(early)) << gatewayLog().toStdString();
    }
    // A subscriber that comes later finds the same as retained messages.
    Watcher viewer(broker, "view", viewerPassword);
    ASSERT_TRUE(allLive(viewer));
    const QJsonObject state = viewer.last(QStringLiteral("press"), "state");
    EXPECT_EQ(state.value(QStringLiteral("address")).toInt(), 2);
    EXPECT_EQ(state.value(QStringLiteral("identifier")).toInt(), 7);
    EXPECT_EQ(viewer.last(QStringLiteral("boiler"), "glyphs").value(QStringLiteral("glyphs")).toArray().size(), 256);

    // The broker's ACL drops the viewer's key; an operator's bad key after it marks when the
    // gateway would have had both.
    ASSERT_TRUE(viewer.publish(QStringLiteral("boiler"), R"({"tap":"F1"})"));
    Watcher operatorClient(broker, "op", operatorPassword);
    ASSERT_TRUE(operatorClient.publish(QStringLiteral("boiler"), R"({"tap":"NoSuchKey"})"));
    ASSERT_TRUE(logSays("NoSuchKey")) << gatewayLog().toStdString();
    expectNoKeyTaken(viewer);
    EXPECT_EQ(gatewayLog().count(QLatin1String("key message ignored")), 1) << gatewayLog().toStdString();

    ASSERT_TRUE(operatorClient.publish(QStringLiteral("boiler"), R"({"tap":"F1"})"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewer.shows(QStringLiteral("boiler"), QStringLiteral("Menu 1/")); }, eventBound_ms));
    EXPECT_FALSE(viewer.shows(QStringLiteral("press"), QStringLiteral("Menu")));
    EXPECT_FALSE(gatewayLog().contains(QLatin1String(gatewayPassword)));
}

// A press whose release never comes (the sender's link lost) holds the key only for a bound:
// the device then sees it go up, and the next press is a new one.
TEST_F(GatewaySessionTest, AKeyPressedWithoutAReleaseIsLetGoAfterTheBound)
{
    Watcher operatorClient(broker, "op", operatorPassword);
    ASSERT_TRUE(allLive(operatorClient)) << gatewayLog().toStdString();
    ASSERT_TRUE(operatorClient.publish(QStringLiteral("boiler"), R"({"tap":"F1"})"));
    ASSERT_TRUE(operatorClient.publish(QStringLiteral("boiler"), R"({"press":"Down"})"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return operatorClient.shows(QStringLiteral("boiler"), QStringLiteral("Menu 2/")); },
                                eventBound_ms));
    ASSERT_TRUE(logSays("was released")) << gatewayLog().toStdString();
    ASSERT_TRUE(operatorClient.publish(QStringLiteral("boiler"), R"({"press":"Down"})"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return operatorClient.shows(QStringLiteral("boiler"), QStringLiteral("Menu 3/")); },
                                eventBound_ms))
        << gatewayLog().toStdString();
}

TEST_F(GatewaySessionTest, AGatewayKilledOrStoppedLeavesEveryDeviceOffline)
{
    struct Case {
        const char* how;
        int signal;
    };
    for (const Case c : {Case{"killed", SIGKILL}, Case{"stopped", SIGTERM}}) {
        SCOPED_TRACE(c.how);
        Watcher viewer(broker, "view", viewerPassword);
        ASSERT_TRUE(allLive(viewer)) << gatewayLog().toStdString();
        ::kill(pid_t(gateway.processId()), c.signal);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return viewer.everyDevice([&](const QString& device) { return viewer.link(device) == QLatin1String("gateway offline"); }); },
            eventBound_ms));
        ASSERT_TRUE(QTest::qWaitFor([&] { return gateway.state() == QProcess::NotRunning; }, eventBound_ms));
        startGateway();
    }
}

// A key left retained on the broker is handed to every new subscription: the gateway takes keys
// as they are sent, never again when it connects.
TEST_F(GatewaySessionTest, ARetainedKeyIsNotTakenWhenTheGatewayConnects)
{
    Watcher viewer(broker, "view", viewerPassword);
    ASSERT_TRUE(allLive(viewer)) << gatewayLog().toStdString();
    gateway.kill();
    ASSERT_TRUE(gateway.waitForFinished());
    Watcher operatorClient(broker, "op", operatorPassword);
    ASSERT_TRUE(operatorClient.publish(QStringLiteral("boiler"), R"({"tap":"F1"})", true));
    startGateway();
    ASSERT_TRUE(logSays("retained key message")) << gatewayLog().toStdString();
    ASSERT_TRUE(allLive(viewer));
    expectNoKeyTaken(viewer);
}

TEST_F(GatewaySessionTest, EveryStateAndScreenIsPublishedAgainAfterTheBrokerRestarts)
{
    {
        Watcher viewer(broker, "view", viewerPassword);
        ASSERT_TRUE(allLive(viewer)) << gatewayLog().toStdString();
    }
    broker.kill();
    ASSERT_TRUE(logSays("lost the connection", 2)) << gatewayLog().toStdString();
    std::string failure;
    ASSERT_TRUE(broker.start(failure)) << failure;
    // The restarted broker kept nothing: what a viewer finds, the gateway published anew.
    Watcher viewer(broker, "view", viewerPassword);
    EXPECT_TRUE(allLive(viewer)) << gatewayLog().toStdString();
    EXPECT_EQ(viewer.last(QStringLiteral("press"), "glyphs").value(QStringLiteral("glyphs")).toArray().size(), 256);
}

} // namespace
