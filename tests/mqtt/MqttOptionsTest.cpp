// The MQTT options: what they set, and each mistake as the one line that
// quorvel-bridge prints before it exits with code 2.
#include "bridge/Options.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

TEST(MqttOptions, MistakesAreRefusedBeforeAnythingOpens) {
    QTemporaryDir dir;
    const QString open = dir.filePath(QStringLiteral("open"));
    const QString kept = dir.filePath(QStringLiteral("kept"));
    const QString empty = dir.filePath(QStringLiteral("empty"));
    for (const QString& path : {open, kept, empty}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(path == empty ? "\n" : "pass word \n");
    }
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(empty, QFile::ReadOwner | QFile::WriteOwner);
    const QString none = dir.filePath(QStringLiteral("none"));
    const QString idError =
        QStringLiteral("--mqtt-id takes 1 to 64 letters, digits, - and _, not ");
    const struct {
        QStringList args;
        QString error;
    } cases[] = {
        {{"--mqtt", "broker"},
         "--mqtt needs --mqtt-id NAME, the name of this switcher in the topics"},
        {{"--mqtt", "broker", "--mqtt-id", "lab/1"}, idError + "\"lab/1\""},
        {{"--mqtt", "broker", "--mqtt-id", "lab+"}, idError + "\"lab+\""},
        {{"--mqtt", "broker", "--mqtt-id", "#"}, idError + "\"#\""},
        {{"--mqtt", "broker", "--mqtt-id", "saal 2"}, idError + "\"saal 2\""},
        {{"--mqtt", "broker", "--mqtt-id", QString(65, 'a')},
         idError + "\"" + QString(65, 'a') + "\""},
        {{"--mqtt", "broker", "--mqtt-id", ""}, idError + "\"\""},
        {{"--mqtt-id", "lab"}, "--mqtt-id needs --mqtt HOST"},
        {{"--mqtt-user", "u"}, "--mqtt-user needs --mqtt HOST"},
        {{"--mqtt-tls-ca", kept}, "--mqtt-tls-ca needs --mqtt HOST"},
        {{"--mqtt", "broker:0", "--mqtt-id", "a"},
         "--mqtt takes HOST[:PORT], such as broker.example.org:1883, not \"broker:0\""},
        {{"--mqtt", "broker:65536", "--mqtt-id", "a"},
         "--mqtt takes HOST[:PORT], such as broker.example.org:1883, not \"broker:65536\""},
        {{"--mqtt", ":1883", "--mqtt-id", "a"},
         "--mqtt takes HOST[:PORT], such as broker.example.org:1883, not \":1883\""},
        {{"--mqtt", "[::1]x", "--mqtt-id", "a"},
         "--mqtt takes HOST[:PORT], such as broker.example.org:1883, not \"[::1]x\""},
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-password-file", kept},
         "--mqtt-password-file needs --mqtt-user"},
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-user", "u", "--mqtt-password-file", open},
         "the password file " + open + " may be read or written by others: chmod 600 it"},
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-user", "u", "--mqtt-password-file", none},
         "cannot read the password file " + none},
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-user", "u", "--mqtt-password-file", empty},
         "the password file " + empty + " holds no password"},
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-tls-ca", none},
         "cannot read the CA file " + none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const bridge::ParsedOptions p = bridge::ParseOptions(c.args);
        EXPECT_EQ(p.action, bridge::ParsedOptions::Action::Error);
        EXPECT_EQ(p.text.toStdString(), c.error.toStdString());
    }
}

TEST(MqttOptions, WhatTheOptionsSet) {
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept"));
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("s3cret\nsecond line\n");
    f.close();
    QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner);
    const struct {
        QStringList args;
        QString host;
        quint16 port;
        QString id;
        QString user;
        QByteArray password;
        QString ca;
    } cases[] = {
        {{}, "", 1883, "", "", "", ""},
        {{"--mqtt", "broker.example.org", "--mqtt-id", "Saal_2-a"},
         "broker.example.org",
         1883,
         "Saal_2-a",
         "",
         "",
         ""},
        {{"--mqtt", "10.0.0.5:1884", "--mqtt-id", "a"}, "10.0.0.5", 1884, "a", "", "", ""},
        {{"--mqtt", "[::1]:1999", "--mqtt-id", "a"}, "::1", 1999, "a", "", "", ""},
        {{"--mqtt", "[::1]", "--mqtt-id", "a"}, "::1", 1883, "a", "", "", ""},
        {{"--mqtt", "fd00::5", "--mqtt-id", "a"}, "fd00::5", 1883, "a", "", "", ""},
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-user", "hall", "--mqtt-password-file",
          kept},
         "broker",
         1883,
         "a",
         "hall",
         "s3cret",
         ""},
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-user", "hall"},
         "broker",
         1883,
         "a",
         "hall",
         "",
         ""},
        // TLS: port 8883 unless one is given.
        {{"--mqtt", "broker", "--mqtt-id", "a", "--mqtt-tls-ca", kept},
         "broker",
         8883,
         "a",
         "",
         "",
         kept},
        {{"--mqtt", "broker:1883", "--mqtt-id", "a", "--mqtt-tls-ca", kept},
         "broker",
         1883,
         "a",
         "",
         "",
         kept},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const bridge::ParsedOptions p = bridge::ParseOptions(c.args);
        ASSERT_EQ(p.action, bridge::ParsedOptions::Action::Run) << p.text.toStdString();
        const bridge::MqttOptions& m = p.options.mqtt;
        EXPECT_EQ(m.Enabled(), !c.host.isEmpty());
        EXPECT_EQ(m.host, c.host);
        EXPECT_EQ(m.port, c.port);
        EXPECT_EQ(m.id, c.id);
        EXPECT_EQ(m.user, c.user);
        EXPECT_EQ(m.password, c.password);
        EXPECT_EQ(m.tlsCaFile, c.ca);
    }
}

} // namespace
} // namespace qvc::test
