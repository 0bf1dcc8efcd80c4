// Tags as the host reads and writes them: each data type over its family,
// scaling both ways, the combinations that are refused, the project file
// that stores them, and the log file that rotates under a long run.
#include "programs.h"

#include "host/log_sink.h"
#include "host/project_file.h"

#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>

namespace {

using namespace pollhost;

struct TagCase {
    TagFields fields;
    QList<int> elements; // in the image
    const char *shown;   // or why the tag is refused
    const char *typed;   // a value written by tag
    QList<int> written;  // its elements, empty when refused
    const char *refusal = "";
};

TagFields tag(const char *address, const char *type, double scale = 1, double offset = 0,
              const char *order = "")
{
    return {QStringLiteral("t_") + QString::fromLatin1(address).remove(':'), QLatin1String(address),
            QLatin1String(type), scale, offset, QStringLiteral("°C"), QLatin1String(order)};
}

const TagCase accepted[] = {
    {tag("RLY00105", "bool"), {1}, "1", "0", {0}},
    {tag("T7", ""), {1}, "1", "1", {1}},
    {tag("DM100", "uint16"), {65535}, "65535", "65536", {}, "65536 °C does not fit uint16 (0 to 65535 °C)"},
    {tag("CV_p3", ""), {7}, "7", "65535", {65535}},
    {tag("DM101", "int16", 0.1), {0xF8C6}, "-185", "185.5", {1855}},
    {tag("DM102", "int16", 0.1), {0}, "0", "185.55", {}, "185.55 °C lies between two steps of 0.1"},
    {tag("DM103", "uint16", 0.5, -10), {100}, "40", "-10.5", {}, "does not fit uint16 (-10 to 32757.5 °C)"},
    {tag("TV_p9", "bcd16"), {0x1234}, "1234", "9999", {0x9999}},
    {tag("DM104", "bcd16"), {0x1A00}, "bad BCD 1A00", "10000", {}, "10000 °C does not fit bcd16"},
    {tag("TM5", "hex16"), {0xBEEF}, "BEEF", "0x1a2f", {0x1A2F}},
    {tag("DM110", "uint32"), {0x5678, 0x1234}, "305419896", "4294967295", {65535, 65535}},
    {tag("DM112", "uint32", 1, 0, "high_first"), {0x1234, 0x5678}, "305419896", "305419896", {0x1234, 0x5678}},
    {tag("DM114:2", "int32", 0.01), {0xFFFF, 0xFFFF}, "-0.01", "-21474836.48", {0, 0x8000}},
    {tag("TM20", "int32"), {0, 0}, "0", "2147483648", {}, "does not fit int32"},
    {tag("DM116", "float32"), {0x0000, 0x4339}, "185", "185.5", {0x8000, 0x4339}},
    {tag("DM118", "float32", 2, 1, "high_first"), {0x4339, 0}, "371", "1e40", {}, "does not fit float32"},
};

const struct {
    TagFields fields;
    const char *refusal;
} refused[] = {
    {tag("T5", "int16"), "tag 't_T5': int16 needs a word family, not T"},
    {tag("DM100", "bool"), "bool needs a bit family (RLY, T, C), not DM"},
    {tag("TV_c5", "int32"), "int32 needs two DM or TM words, not TV_c"},
    {tag("DM100:1", "int32"), "int32 takes 2 element(s), DM100:1 gives 1"},
    {tag("DM100:2", "uint16"), "uint16 takes 1 element(s), DM100:2 gives 2"},
    {tag("DM9999", "float32"), "float32 at DM9999 runs past the end of DM"},
    {tag("TM99", "uint32"), "uint32 at TM99 runs past the end of TM"},
    {tag("RLY00116", "bool"), "RLY00116 is not an address of RLY"},
    {tag("CTH10", ""), "CTH10 is not an address of CTH"},
    {tag("DM100", "hex16", 10), "hex16 takes no scale or offset"},
    {tag("RLY00000", "bool", 1, 5), "bool takes no scale or offset"},
    {tag("DM100", "uint16", 0), "the scale must be a number other than 0"},
    {tag("DM100", "int32", 1, 0, "big"), "word_order is low_first or high_first, not 'big'"},
    {tag("DM100", "float64"), "unknown type 'float64'"},
    {tag("dm100", ""), "'dm100' is not an address"},
    {{QStringLiteral("oven temp"), QStringLiteral("DM0"), {}, 1, 0, {}, {}}, "tag 'oven temp': a name needs"},
};

// Every accepted write, by tag name, through ordelin-poll and its built-in
// simulator (its scan stopped), then read back by the same tags; logged
// with --log-changes, so no record repeats the one before.
void expectWritesReadBack(const QList<Tag> &tags, const QString &path)
{
    ASSERT_TRUE(writeProject(path, {{}, tags, {}}).ok());
    QStringList arguments{"--sim", "--library", ORDELIN_LIBRARY_PATH, "--sim-options", "--scan-ms 60000",
                          "--config", path, "--format", "json", "--interval", "0", "--count", "300", "--log-changes"};
    QMap<QString, QString> expected;
    for (int i = 0; i < tags.size(); ++i) {
        if (accepted[i].written.isEmpty())
            continue;
        arguments << "--write" << tags[i].name + '=' + QLatin1String(accepted[i].typed);
        expected[tags[i].name] = readTag(tags[i], accepted[i].written).text;
    }
    const e2e::Finished host = e2e::runPoll(arguments);
    ASSERT_EQ(host.exitCode, 0) << host.err.toStdString();
    QList<QJsonObject> logged;
    for (QJsonObject record : e2e::records(host.out)) {
        if (record.contains("quality")) {
            for (const char *moving : {"time", "clock", "read_at"})
                record.remove(moving);
            EXPECT_TRUE(logged.isEmpty() || logged.last() != record) << "a record without a change";
            logged << record;
        }
    }
    ASSERT_FALSE(logged.isEmpty()) << host.out.toStdString();
    const QJsonObject last = logged.last()["values"].toObject();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QJsonValue value = last[it.key()];
        EXPECT_EQ(value.isString() ? value.toString() : QString::number(value.toDouble(), 'g', 12), it.value())
            << it.key().toStdString();
    }
}

TEST(Tags, TypesScalingAndRefusals)
{
    QList<Tag> tags;
    for (const TagCase &c : accepted) {
        const QString row = c.fields.address;
        const auto made = defineTag(c.fields);
        ASSERT_TRUE(made.ok()) << row.toStdString() << ": " << made.error().toStdString();
        EXPECT_EQ(readTag(made.value(), c.elements).text, QLatin1String(c.shown)) << row.toStdString();
        const auto written = elementsToWrite(made.value(), QLatin1String(c.typed));
        EXPECT_EQ(written.ok() ? written.value() : QList<int>(), c.written) << row.toStdString();
        EXPECT_TRUE(written.error().contains(QString::fromUtf8(c.refusal))) << written.error().toStdString();
        // What the project file keeps of a tag makes the same tag again.
        const auto again = tagFromJson(made.value().toJson());
        ASSERT_TRUE(again.ok()) << again.error().toStdString();
        EXPECT_EQ(again.value().toJson(), made.value().toJson());
        EXPECT_EQ(readTag(again.value(), c.elements).text, QLatin1String(c.shown)) << row.toStdString();
        tags << made.value();
    }
    for (const auto &c : refused) {
        const auto made = defineTag(c.fields);
        EXPECT_FALSE(made.ok()) << c.refusal;
        EXPECT_TRUE(made.error().contains(QString::fromUtf8(c.refusal))) << made.error().toStdString();
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plant.json"));
    expectWritesReadBack(tags, path);
    const Project saved{QJsonObject{{"port", "/dev/ttyUSB0"}, {"baud", 19200}, {"parity", "even"}}, tags, {}};
    ASSERT_TRUE(writeProject(path, saved).ok());
    const auto loaded = readProject(path);
    ASSERT_TRUE(loaded.ok()) << loaded.error().toStdString();
    EXPECT_EQ(loaded.value().line, saved.line);
    ASSERT_EQ(loaded.value().tags.size(), tags.size());
    EXPECT_EQ(lineArguments(saved.line),
              QStringList({"--port", "/dev/ttyUSB0", "--baud", "19200", "--parity", "even"}));
    ASSERT_TRUE(writeProject(path, {{}, tags + tags.mid(0, 1), {}}).ok());
    EXPECT_EQ(readProject(path).error(), path + ": tag 't_RLY00105': the name is given twice");
}

QStringList linesOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Forty rows into files of at most 100 bytes, the last three files kept: each
// file starts with the header, and the kept files (log.csv, the newest, sorts
// last) hold the newest rows in order.
TEST(Tags, LogRotatesKeepsHeadersAndReportsUnwritableFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    LogSink sink(path, {100, false, 3});
    sink.setHeader(QStringLiteral("time,oven_temp"));
    for (int row = 0; row < 40; ++row)
        ASSERT_TRUE(sink.write(QStringLiteral("%1,185.5").arg(row, 3, 10, QLatin1Char('0'))).ok());
    QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    QStringList rows;
    for (const QString &name : files) {
        const QStringList lines = linesOf(dir.filePath(name));
        EXPECT_LE(QFileInfo(dir.filePath(name)).size(), 100);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.first(), "time,oven_temp") << name.toStdString();
        rows += lines.mid(1);
    }
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.last(), "039,185.5");
    for (int i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].left(3).toInt(), rows[i - 1].left(3).toInt() + 1) << "a row was lost";

    for (const QString &unwritable : {QStringLiteral("/dev/full"), dir.path()}) {
        LogSink broken(unwritable, {});
        const auto result = broken.write(QStringLiteral("a line"));
        EXPECT_FALSE(result.ok()) << unwritable.toStdString();
        EXPECT_TRUE(result.error().startsWith(unwritable + ": ")) << result.error().toStdString();
        EXPECT_FALSE(broken.write(QStringLiteral("another")).ok());
    }
}

} // namespace
