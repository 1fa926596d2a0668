// A client that connects with a last will and waits to be killed: the will's test needs a
// connection that ends without a goodbye.
// Usage: mqtt_will_client URL USER PASSWORD WILL_TOPIC WILL_PAYLOAD

#include "mqtt/Client.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 6)
        return 2;
    VPanel::Mqtt::ClientOptions options;
    options.broker = VPanel::Mqtt::BrokerAddress::parse(arguments[1]);
    options.username = arguments[2];
    options.password = arguments[3];
    options.will = VPanel::Mqtt::Will{arguments[4], arguments[5].toUtf8(), 1, true};
    VPanel::Mqtt::Client client(options);
    QObject::connect(&client, &VPanel::Mqtt::Client::connected, [] {
        std::puts("connected");
        std::fflush(stdout);
    });
    client.start();
    return application.exec();
}
