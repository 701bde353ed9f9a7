// The MQTT options: what they set, and each mistake as the one line that
// quorvel-bridge prints before it exits with code 2.
#include "MqttRig.h"
#include "bridge/Options.h"

namespace qvc::test {
namespace {

TEST(MqttOptions, WhatTheySetAndTheirMistakes) {
    QTemporaryDir dir;
    const QString open = dir.filePath("open"), kept = dir.filePath("kept");
    const QString empty = dir.filePath("empty"), none = dir.filePath("none");
    for (const QString& path : {open, kept, empty}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(path == empty ? "\n" : "s3cret \nsecond line\n");
        f.close();
        f.setPermissions(path == open ? QFile::ReadOwner | QFile::ReadGroup : QFile::ReadOwner);
    }
    const QStringList broker{"--mqtt", "broker", "--mqtt-id", "a"};
    const QStringList user = broker + QStringList{"--mqtt-user", "hall", "--mqtt-password-file"};
    const QString id = "--mqtt-id takes 1 to 64 letters, digits, - and _, not ";
    const QString address = "--mqtt takes HOST[:PORT], such as broker.example.org:1883, not ";
    const struct {
        QStringList args;
        QString result; // "host port id user password ca", or the error
    } cases[] = {
        {{}, " 1883    "},
        {{"--mqtt", "broker.example.org", "--mqtt-id", "Saal_2-a"},
         "broker.example.org 1883 Saal_2-a   "},
        {{"--mqtt", "10.0.0.5:1884", "--mqtt-id", "a"}, "10.0.0.5 1884 a   "},
        {{"--mqtt", "[::1]:1999", "--mqtt-id", "a"}, "::1 1999 a   "},
        {{"--mqtt", "fd00::5", "--mqtt-id", "a"}, "fd00::5 1883 a   "},
        {user + QStringList{kept}, "broker 1883 a hall s3cret "},
        {broker + QStringList{"--mqtt-tls-ca", kept}, "broker 8883 a   " + kept}, // TLS: 8883
        {{"--mqtt", "broker:1883", "--mqtt-id", "a", "--mqtt-tls-ca", kept},
         "broker 1883 a   " + kept},
        {{"--mqtt", "broker"},
         "--mqtt needs --mqtt-id NAME, the name of this switcher in the topics"},
        {{"--mqtt", "b", "--mqtt-id", "lab/1"}, id + "\"lab/1\""},
        {{"--mqtt", "b", "--mqtt-id", "#"}, id + "\"#\""},
        {{"--mqtt", "b", "--mqtt-id", ""}, id + "\"\""},
        {{"--mqtt", "b", "--mqtt-id", QString(65, 'a')}, id + "\"" + QString(65, 'a') + "\""},
        {{"--mqtt-id", "lab"}, "--mqtt-id needs --mqtt HOST"},
        {{"--mqtt-tls-ca", kept}, "--mqtt-tls-ca needs --mqtt HOST"},
        {{"--mqtt", "b:0", "--mqtt-id", "a"}, address + "\"b:0\""},
        {{"--mqtt", "b:65536", "--mqtt-id", "a"}, address + "\"b:65536\""},
        {{"--mqtt", ":1883", "--mqtt-id", "a"}, address + "\":1883\""},
        {{"--mqtt", "[::1]x", "--mqtt-id", "a"}, address + "\"[::1]x\""},
        {broker + QStringList{"--mqtt-password-file", kept},
         "--mqtt-password-file needs --mqtt-user"},
        {user + QStringList{open},
         "the password file " + open + " may be read or written by others: chmod 600 it"},
        {user + QStringList{none}, "cannot read the password file " + none},
        {user + QStringList{empty}, "the password file " + empty + " holds no password"},
        {broker + QStringList{"--mqtt-tls-ca", none}, "cannot read the CA file " + none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const bridge::ParsedOptions p = bridge::ParseOptions(c.args);
        const bridge::MqttOptions& m = p.options.mqtt;
        const QStringList set{m.host, QString::number(m.port),       m.id,
                              m.user, QString::fromUtf8(m.password), m.tlsCaFile};
        EXPECT_EQ(p.action == bridge::ParsedOptions::Action::Run ? set.join(' ') : p.text,
                  c.result);
    }
}

} // namespace
} // namespace qvc::test
