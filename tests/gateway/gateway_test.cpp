// ordelin-gateway as a user runs it: a real mosquitto on a free loopback
// port with a config written here, mosquitto_sub and mosquitto_pub as the
// SCADA side, and the simulated PLC in this process, so each case can look
// into its memory and make it fall silent. Every wait is bounded.
#include "e2e/programs.h"

#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using e2e::json;
using e2e::runProgram;

// stdout and stderr merged, read line by line.
struct Process {
    Process(const QString &program, const QStringList &arguments)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        process.waitForStarted(5000);
    }
    ~Process() { process.kill(), process.waitForFinished(2000); }
    QString waitFor(const QString &pattern, int timeoutMs = 8000)
    {
        const QRegularExpression wanted(pattern);
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (process.canReadLine()) {
                seen << QString::fromUtf8(process.readLine()).trimmed();
                if (wanted.match(seen.last()).hasMatch())
                    return seen.last();
            }
            if (clock.elapsed() >= timeoutMs || (!process.waitForReadyRead(int(timeoutMs - clock.elapsed()))
                                                 && !process.canReadLine()))
                return {};
        }
    }
    int stop(int signal, int timeoutMs = 3000)
    {
        ::kill(pid_t(process.processId()), signal);
        const bool ended = process.waitForFinished(timeoutMs);
        seen += QString::fromUtf8(process.readAll()).split('\n');
        return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QProcess process;
    QStringList seen;
};

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

void write(const QString &path, const QByteArray &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// What one case needs: the broker, the PLC, the gateway and a subscriber.
struct Rig {
    QTemporaryDir dir;
    int port = freePort();
    std::unique_ptr<Process> broker, gateway, watcher;
    std::shared_ptr<sim::Simulator> plc;

    QString at(const char *name) const { return dir.filePath(QLatin1String(name)); }
    void startBroker(const QByteArray &extra = {})
    {
        write(at("broker.conf"), "listener " + QByteArray::number(port) + " 127.0.0.1\nuser root\n"
                                     + (extra.isEmpty() ? QByteArray("allow_anonymous true\n") : extra));
        broker = std::make_unique<Process>(MOSQUITTO_PROGRAM, QStringList{"-c", at("broker.conf")});
        ASSERT_FALSE(broker->waitFor("running").isEmpty()) << broker->seen.join('\n').toStdString();
    }
    void startGateway(const QStringList &more = {})
    {
        write(at("line.json"), R"({"tags": [
            {"name": "ticks", "address": "DM0"},
            {"name": "setpoint", "address": "DM100", "type": "int16", "scale": 0.1, "writable": true},
            {"name": "locked", "address": "DM101", "writable": false},
            {"name": "blink", "address": "RLY00000", "writable": true}]})");
        const auto device = sim::openPseudoTerminal();
        ASSERT_TRUE(device.ok());
        plc = sim::Simulator::start({}, device.value()).value();
        gateway = std::make_unique<Process>(ORDELIN_GATEWAY_PROGRAM,
            QStringList{"--config", at("line.json"), "--port", plc->portName(), "--library", ORDELIN_LIBRARY_PATH,
                        "--broker", QStringLiteral("127.0.0.1:%1").arg(port), "--prefix", "t", "--timeout", "100",
                        "--retries", "1", "--stale-after", "1000"} + more);
    }
    void watch(const QStringList &more = {})
    {
        watcher = std::make_unique<Process>("mosquitto_sub", QStringList{"-p", QString::number(port), "-t", "t/#", "-F", "%t %r %p"} + more);
    }
    // The network between the gateway and the broker, which the case can
    // take away while the broker and its subscribers stay: one connection.
    int proxyPort = freePort();
    std::unique_ptr<Process> proxy;
    void startProxy()
    {
        proxy = std::make_unique<Process>("socat", QStringList{"-d", "-d", QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(proxyPort),
                                                               QStringLiteral("TCP:127.0.0.1:%1").arg(port)});
        ASSERT_FALSE(proxy->waitFor("listening on").isEmpty()) << proxy->seen.join('\n').toStdString();
    }
    // A broker, a subscriber at QoS 1 that sees every message from the first,
    // and the gateway, through the network that can go away.
    void startThroughProxy(const QStringList &more = {})
    {
        startBroker();
        watch({"-q", "1"});
        startProxy();
        startGateway(QStringList{"--broker", QStringLiteral("127.0.0.1:%1").arg(proxyPort)} + more);
        next("t/tags/ticks", "good");
    }
    void networkGoes()
    {
        proxy->stop(SIGTERM);
        ASSERT_FALSE(gateway->waitFor("lost the broker").isEmpty()) << gateway->seen.join('\n').toStdString();
    }
    // The payload of the next message on `topic` whose payload matches.
    QJsonObject next(const QString &topic, const QString &payload = ".", int timeoutMs = 8000)
    {
        const QString line = watcher->waitFor("^" + QRegularExpression::escape(topic) + " [01] .*" + payload, timeoutMs);
        return json(line.section(' ', 2));
    }
    void publish(const QString &tag, const QByteArray &payload, const QStringList &more = {})
    {
        runProgram("mosquitto_pub", QStringList{"-p", QString::number(port), "-t", "t/tags/" + tag + "/set", "-m",
                                                QString::fromUtf8(payload)} + more, 5000);
    }
    int dm(int address)
    {
        return plc->inspect([address](sim::SimEngine &engine) { return int(engine.memory().dm[address]); });
    }
};

// What a subscriber saw of the tags, in the order it arrived.
struct TagMessage {
    qint64 seq;
    bool replayed;
    QString ts;
    QString line;
};

QList<TagMessage> tagMessages(const QStringList &lines)
{
    QList<TagMessage> seen;
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1String("t/tags/")) || line.section(' ', 0, 0).endsWith(QLatin1String("/result")))
            continue;
        const QJsonObject message = json(line.section(' ', 2));
        seen.append({qint64(message["seq"].toDouble()), message["replayed"].toBool(), message["ts"].toString(), line});
    }
    return seen;
}

// Every number from the first seen to the last, in `seqs` or in `[gapFirst, gapLast]`.
QString missing(const QList<TagMessage> &seen, qint64 gapFirst = 0, qint64 gapLast = -1)
{
    QSet<qint64> seqs;
    qint64 lowest = seen.value(0).seq, highest = 0;
    for (const TagMessage &one : seen)
        seqs << one.seq, lowest = std::min(lowest, one.seq), highest = std::max(highest, one.seq);
    QStringList holes;
    for (qint64 seq = lowest; seq <= highest; ++seq) {
        if (!seqs.contains(seq) && (seq < gapFirst || seq > gapLast))
            holes << QString::number(seq);
    }
    return holes.join(' ');
}

// The replayed messages came oldest first, each tag's in the order it was
// read. (A change of quality alone carries the time its value was read, so
// across tags the times may step back.) A broker may deliver a message
// twice at QoS 1; a historian keeps the first.
QList<TagMessage> expectReadOrder(const QList<TagMessage> &seen, int atLeast)
{
    QList<TagMessage> replayed;
    QSet<qint64> known;
    for (const TagMessage &one : seen) {
        if (one.replayed && !known.contains(one.seq))
            replayed << one;
        known << one.seq;
    }
    EXPECT_GE(replayed.size(), atLeast);
    QHash<QString, QString> lastTs; // by topic; ISO times of one offset sort as text
    for (int i = 0; i < replayed.size(); ++i) {
        if (i > 0)
            EXPECT_GT(replayed[i].seq, replayed[i - 1].seq);
        const QString topic = replayed[i].line.section(' ', 0, 0);
        if (replayed[i].ts.isEmpty())
            continue; // never read
        EXPECT_GE(replayed[i].ts.toStdString(), lastTs.value(topic).toStdString()) << replayed[i].line.toStdString();
        lastTs[topic] = replayed[i].ts;
    }
    return replayed;
}

// The network back: the gateway replays, and live values follow.
void outageEnds(Rig &rig)
{
    rig.startProxy();
    // The start's own replay may say it is done only after the network went.
    ASSERT_FALSE(rig.gateway->waitFor("connected to the broker", 20000).isEmpty());
    const QString done = rig.gateway->waitFor("journal: replay done, \\d+ messages up to seq", 20000);
    ASSERT_FALSE(done.isEmpty()) << rig.gateway->seen.join('\n').toStdString();
    ASSERT_FALSE(rig.watcher->waitFor(QStringLiteral("\"seq\":%1,.*replayed").arg(done.section(' ', 9, 9))).isEmpty());
    rig.next("t/tags/ticks", "good");
    rig.next("t/tags/ticks", "good");
}

const QRegularExpression isoMs(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)");

// openssl makes a CA, a broker certificate for 127.0.0.1 signed by it, and
// a second CA that signed nothing the broker shows.
void makeCertificates(Rig &rig)
{
    const QString ext = rig.at("ext.cnf");
    write(ext, "subjectAltName=IP:127.0.0.1\n");
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    for (const char *ca : {"ca", "other"})
        runProgram("openssl", QStringList{"req", "-x509"} + key + QStringList{"-keyout", rig.at(ca) + ".key", "-out",
                   rig.at(ca) + ".crt", "-days", "2", "-subj", "/CN=test " + QLatin1String(ca)});
    runProgram("openssl", QStringList{"req"} + key + QStringList{"-keyout", rig.at("server.key"), "-out",
               rig.at("server.csr"), "-subj", "/CN=127.0.0.1"});
    runProgram("openssl", {"x509", "-req", "-in", rig.at("server.csr"), "-CA", rig.at("ca.crt"), "-CAkey",
                           rig.at("ca.key"), "-CAcreateserial", "-out", rig.at("server.crt"), "-days", "2", "-extfile", ext});
    runProgram("mosquitto_passwd", {"-b", "-c", rig.at("passwords"), "scada", "right"});
    write(rig.at("wrong"), "wrong\n");
    write(rig.at("right"), "right\n");
}

struct Case {
    const char *name;
    std::function<void(Rig &)> run;
};

const Case cases[] = {
    {"ValuesOnChangeWithQualityAndTimeThenOfflineOnStop", [](Rig &rig) {
         rig.startBroker();
         rig.startGateway();
         rig.watch();
         EXPECT_EQ(rig.next("t/status", "\"link\":\"up\"")["state"], "online");
         double seq = 0;
         int ticks = -1;
         for (int i = 0; i < 4; ++i) {
             // Live ones: the values made before the broker answered come again as replays.
             const QJsonObject message = rig.next("t/tags/ticks", "good.*\"value\":\\d+}$");
             EXPECT_GT(message["seq"].toDouble(), seq);
             EXPECT_GT(message["value"].toInt(), ticks) << "published only when it moved";
             EXPECT_TRUE(isoMs.match(message["ts"].toString()).hasMatch()) << message["ts"].toString().toStdString();
             seq = message["seq"].toDouble();
             ticks = message["value"].toInt();
         }
         QElapsedTimer clock;
         clock.start();
         EXPECT_EQ(rig.gateway->stop(SIGTERM), 0);
         EXPECT_LT(clock.elapsed(), 1000);
         EXPECT_TRUE(rig.next("t/status", "offline").contains("since")) << "its own last words, not the will";
     }},
    {"LastWillWhenKilled", [](Rig &rig) {
         rig.startBroker();
         rig.startGateway();
         ASSERT_FALSE(rig.gateway->waitFor("connected to the broker").isEmpty());
         rig.gateway->stop(SIGKILL);
         rig.watch(); // a newcomer gets the retained will
         EXPECT_FALSE(rig.next("t/status", "offline").contains("since")) << "the will";
     }},
    {"AllowedWriteReachesThePlcAndReportsDone", [](Rig &rig) {
         rig.startBroker();
         rig.startGateway();
         rig.watch();
         rig.next("t/status", "\"link\":\"up\"");
         rig.publish("setpoint", R"({"value": 185.5, "id": "w1"})", {"-V", "5", "-D", "publish", "user-property", "client-id", "scada-7"});
         const QJsonObject result = rig.next("t/tags/setpoint/result");
         EXPECT_EQ(result["status"], "done");
         EXPECT_EQ(result["id"], "w1");
         EXPECT_EQ(result["value"].toDouble(), 185.5);
         EXPECT_EQ(rig.dm(100), 1855);
         EXPECT_EQ(rig.next("t/tags/setpoint", "185.5")["quality"], "good");
         rig.gateway->stop(SIGTERM);
         EXPECT_TRUE(rig.gateway->seen.join('\n').contains("tag=setpoint value=185.5 id=w1 client=scada-7 result=done"));
     }},
    {"RefusedWritesNeverReachThePlc", [](Rig &rig) {
         rig.startBroker();
         rig.startGateway();
         rig.watch();
         rig.next("t/status", "\"link\":\"up\"");
         const QList<QPair<QString, QByteArray>> refused{
             {"locked", "5"}, {"nosuch", "5"}, {"setpoint", "4000"}, {"setpoint", "1.25"}, {"blink", "2"},
             {"setpoint", "{\"value\": "}, {"setpoint", "\"12\""}, {"setpoint", "[" + QByteArray(1100, ' ') + "1]"}};
         for (const auto &request : refused) {
             rig.publish(request.first, request.second);
             EXPECT_EQ(rig.next("t/tags/" + request.first + "/result")["status"], "refused") << request.second.constData();
         }
         rig.plc->setSilent(true);
         rig.next("t/status", "\"link\":\"down\"");
         EXPECT_EQ(rig.next("t/tags/ticks", "stale")["quality"], "stale");
         rig.publish("setpoint", "12");
         EXPECT_EQ(rig.next("t/tags/setpoint/result")["reason"], "the link to the PLC is down");
         EXPECT_EQ(rig.dm(100), 0);
         EXPECT_EQ(rig.dm(101), 0);
         EXPECT_EQ(rig.plc->inspect([](sim::SimEngine &engine) { return engine.counters().writes; }), 0u);
     }},
    {"BrokerRestartRepublishesEverything", [](Rig &rig) {
         rig.startBroker();
         rig.startGateway();
         ASSERT_FALSE(rig.gateway->waitFor("connected to the broker").isEmpty());
         rig.broker->stop(SIGKILL);
         ASSERT_FALSE(rig.gateway->waitFor("lost the broker.*outage 1").isEmpty());
         QThread::msleep(1500); // ticks move on while the broker is away
         rig.startBroker();
         ASSERT_FALSE(rig.gateway->waitFor("connected to the broker", 12000).isEmpty());
         rig.watch(); // the new broker knows only what the gateway published again, in any order
         QSet<QString> republished;
         QElapsedTimer clock;
         clock.start();
         for (QString line; republished.size() < 5 && clock.elapsed() < 8000
                            && !(line = rig.watcher->waitFor(R"(^t/(status .*"link":"up".*online|tags/\w+ .*good))")).isEmpty();)
             republished << line.section(' ', 0, 0);
         EXPECT_EQ(republished, QSet<QString>({"t/status", "t/tags/ticks", "t/tags/setpoint", "t/tags/locked", "t/tags/blink"}))
             << rig.watcher->seen.mid(0, 12).join('\n').toStdString();
     }},
    {"OutageIsReplayedInReadOrderThenLiveValues", [](Rig &rig) {
         rig.startThroughProxy();
         rig.networkGoes();
         QThread::msleep(2000); // ticks change ten times a second meanwhile
         outageEnds(rig);
         const QList<TagMessage> seen = tagMessages(rig.watcher->seen);
         EXPECT_EQ(missing(seen).toStdString(), "");
         expectReadOrder(seen, 10);
         // The broker's retained value of a tag is its latest, never a replay.
         const e2e::Finished newcomer = runProgram("mosquitto_sub", {"-p", QString::number(rig.port), "-t", "t/tags/ticks", "-C", "1", "-W", "5"}, 8000);
         EXPECT_FALSE(json(newcomer.out).contains("replayed")) << newcomer.out.toStdString();
     }},
    {"KilledDuringTheOutageResumesFromTheJournal", [](Rig &rig) {
         rig.startThroughProxy();
         rig.networkGoes();
         QThread::msleep(1000);
         rig.gateway->stop(SIGKILL);
         rig.startGateway({"--broker", QStringLiteral("127.0.0.1:%1").arg(rig.proxyPort)}); // the same project, so the same journal
         ASSERT_FALSE(rig.gateway->waitFor("polling").isEmpty());
         QThread::msleep(1000);
         outageEnds(rig);
         const QList<TagMessage> seen = tagMessages(rig.watcher->seen);
         EXPECT_EQ(missing(seen).toStdString(), "") << "seq goes on across the kill, and nothing journaled is lost";
         expectReadOrder(seen, 15);
     }},
    {"FullJournalPublishesTheGap", [](Rig &rig) {
         rig.startThroughProxy({"--journal-max", "100", "--interval", "0"});
         rig.networkGoes();
         for (int i = 1; i <= 1000; ++i) {
             rig.plc->inspect([i](sim::SimEngine &engine) { return engine.memory().dm[101] = quint16(i); });
             QThread::msleep(2);
         }
         outageEnds(rig);
         if (rig.watcher->seen.filter(QRegularExpression("^t/gaps ")).isEmpty())
             rig.watcher->waitFor("^t/gaps ");
         QSet<QString> gaps; // the broker may deliver it twice
         for (const QString &line : rig.watcher->seen.filter(QRegularExpression("^t/gaps ")))
             gaps << line.section(' ', 2);
         ASSERT_EQ(gaps.size(), 1) << "published once, before the replay";
         const QJsonObject gap = json(*gaps.begin());
         const qint64 first = qint64(gap["first_seq"].toDouble()), last = qint64(gap["last_seq"].toDouble());
         EXPECT_EQ(gap["lost"].toDouble(), last - first + 1);
         EXPECT_GT(gap["lost"].toDouble(), 300);
         EXPECT_TRUE(isoMs.match(gap["first_ts"].toString()).hasMatch());
         EXPECT_LE(gap["first_ts"].toString().toStdString(), gap["last_ts"].toString().toStdString());
         const QList<TagMessage> seen = tagMessages(rig.watcher->seen);
         EXPECT_EQ(missing(seen, first, last).toStdString(), "") << "nothing lost without a trace";
         const QList<TagMessage> replayed = expectReadOrder(seen, 100);
         EXPECT_EQ(std::count_if(replayed.begin(), replayed.end(), [last](const TagMessage &one) { return one.seq > last; }), 100)
             << "the journal's 100, after the gap";
     }},
    {"UnusableJournalIsMovedAside", [](Rig &rig) {
         rig.startBroker();
         rig.startGateway();
         ASSERT_FALSE(rig.gateway->waitFor("connected to the broker").isEmpty());
         rig.gateway->stop(SIGTERM);
         QFile made(rig.at("line.journal"));
         ASSERT_TRUE(made.open(QIODevice::ReadWrite));
         const QByteArray journal = made.readAll();
         made.close();
         QByteArray otherVersion = journal;
         otherVersion[63] = 7; // the file header's user version
         const struct {
             QByteArray file;
             const char *says;
         } unusable[] = {{QByteArray(4096, 'x'), "not a database"}, {otherVersion, "a journal of version 7"}};
         for (const auto &one : unusable) {
             write(rig.at("line.journal"), one.file);
             rig.startGateway();
             EXPECT_FALSE(rig.gateway->waitFor(QStringLiteral("journal .*line.journal is unusable \\(.*%1.*\\): moved it to .*line.journal.bad-").arg(one.says)).isEmpty())
                 << rig.gateway->seen.join('\n').toStdString();
             EXPECT_FALSE(rig.gateway->waitFor("connected to the broker").isEmpty());
             EXPECT_EQ(rig.gateway->stop(SIGTERM), 0);
         }
         EXPECT_GE(QDir(rig.dir.path()).entryList({"line.journal.bad-*"}).size(), 1);
     }},
    {"TlsWithCertificatesAndPasswords", [](Rig &rig) {
         makeCertificates(rig);
         rig.startBroker("allow_anonymous false\npassword_file " + rig.at("passwords").toUtf8() + "\ncafile "
                         + rig.at("ca.crt").toUtf8() + "\ncertfile " + rig.at("server.crt").toUtf8() + "\nkeyfile "
                         + rig.at("server.key").toUtf8() + "\n");
         const struct {
             const char *ca, *password;
             int code;
             const char *says;
         } tries[] = {{"ca.crt", "wrong", 9, "refused the user name or password"},
                      {"other.crt", "right", 10, "TLS handshake with the broker at 127.0.0.1:\\d+ failed: .*certificate verify failed"},
                      {"ca.crt", "right", 0, "connected to the broker"}};
         for (const auto &one : tries) {
             rig.startGateway({"--cafile", rig.at(one.ca), "--username", "scada", "--password-file", rig.at(one.password)});
             EXPECT_FALSE(rig.gateway->waitFor(one.says).isEmpty()) << rig.gateway->seen.join('\n').toStdString();
             EXPECT_EQ(one.code ? rig.gateway->stop(0) : rig.gateway->stop(SIGTERM), one.code) << one.says;
         }
     }},
    {"PlantRestartsAKilledLineAloneAndStopsAsOne", [](Rig &rig) {
         rig.startBroker();
         write(rig.at("plant.json"), R"({"lines": [{"name": "press", "tags": [{"name": "ticks", "address": "DM0"}]},
             {"name": "oven", "tags": [{"name": "ticks", "address": "DM0"}]},
             {"name": "pack", "tags": [{"name": "ticks", "address": "DM0"}]}]})");
         rig.watch();
         rig.gateway = std::make_unique<Process>(ORDELIN_GATEWAY_PROGRAM, QStringList{"--config", rig.at("plant.json"),
             "--sim", "--library", ORDELIN_LIBRARY_PATH, "--broker", QStringLiteral("127.0.0.1:%1").arg(rig.port), "--prefix", "t"});
         QJsonObject lines = rig.next("t/lines", R"(("state":"running".*){3})");
         for (const char *line : {"press", "oven", "pack"})
             EXPECT_FALSE(rig.next(QStringLiteral("t/%1/tags/ticks").arg(line), "good").isEmpty()) << line;
         const int killedAt = rig.watcher->seen.size();
         ::kill(lines["lines"].toArray().at(1)["pid"].toInt(), SIGKILL);
         lines = rig.next("t/lines", R"("last_exit":"killed by signal 9","name":"oven","pid":\d+,"restarts":1,"state":"running")");
         ASSERT_FALSE(lines.isEmpty()) << rig.gateway->seen.join('\n').toStdString();
         EXPECT_FALSE(rig.next("t/oven/tags/ticks", "good").isEmpty()) << "oven publishes again";
         // The others' sequence numbers never start over, and their ticks kept coming while oven was away.
         QHash<QString, double> seq, whileAway;
         for (int i = 0; i < rig.watcher->seen.size(); ++i) {
             const QString line = rig.watcher->seen[i], name = line.section('/', 1, 1);
             if (name == "oven" || !line.contains("/tags/ticks "))
                 continue;
             const double now = json(line.section(' ', 2))["seq"].toDouble();
             EXPECT_GT(now, seq[name]) << line.toStdString();
             seq[name] = now;
             whileAway[name] += i > killedAt;
         }
         EXPECT_GT(whileAway["press"], 0);
         EXPECT_GT(whileAway["pack"], 0);
         QElapsedTimer clock;
         clock.start();
         EXPECT_EQ(rig.gateway->stop(SIGTERM), 0);
         EXPECT_LT(clock.elapsed(), 2000);
         for (const QJsonValue &line : lines["lines"].toArray())
             EXPECT_NE(::kill(line["pid"].toInt(), 0), 0) << "no line left behind";
         EXPECT_FALSE(rig.next("t/lines", R"(("state":"stopped".*){3}"state":"offline")").isEmpty());
         EXPECT_TRUE(rig.gateway->seen.join('\n').contains("ordelin-gateway[oven]: connected to the broker"));
     }},
    {"PlantLinesThatCannotRunAreNotRestarted", [](Rig &rig) {
         write(rig.at("plant.json"), R"({"lines": [{"name": "press", "tags": [{"name": "ticks", "address": "DM0"}]},
             {"name": "oven", "tags": [{"name": "ticks", "address": "DM0"}]}]})");
         const e2e::Finished run = runProgram(ORDELIN_GATEWAY_PROGRAM, {"--config", rig.at("plant.json"), "--sim",
             "--library", rig.at("none.so"), "--broker", QStringLiteral("127.0.0.1:%1").arg(rig.port)}, 8000);
         EXPECT_EQ(run.exitCode, 3) << "the first line's";
         EXPECT_TRUE(run.err.contains("line oven: exit code 3 (driver library); starting it again cannot help")) << run.err.toStdString();
     }},
    {"PlainBrokerOffThisMachineIsRefused", [](Rig &rig) {
         if (runProgram("unshare", {"-n", "true"}, 5000).exitCode != 0)
             GTEST_SKIP() << "no network namespace here";
         write(rig.at("line.json"), R"({"tags": [{"name": "ticks", "address": "DM0"}]})");
         const e2e::Finished run = runProgram("unshare", {"-n", ORDELIN_GATEWAY_PROGRAM, "--sim", "--config",
                                                         rig.at("line.json"), "--broker", "10.9.8.7"}, 5000);
         EXPECT_EQ(run.exitCode, 11);
         EXPECT_TRUE(run.err.contains("not on this machine")) << run.err.toStdString();
     }},
};

void PrintTo(const Case &one, std::ostream *out)
{
    *out << one.name;
}

class Gateway : public testing::TestWithParam<Case> {};

TEST_P(Gateway, Case)
{
    Rig rig;
    GetParam().run(rig);
}

INSTANTIATE_TEST_SUITE_P(Table, Gateway, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
