// The monitor's window polling the built-in simulator, driven through its
// widgets as a user drives it. Every wait is bounded.
#include "monitor/main_window.h"

#include "host/project_file.h"
#include "sim/simulator.h"

#include "../e2e/programs.h"

#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableWidget>

#include <gtest/gtest.h>

namespace {

#ifdef QT_CHARTS_USE_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

enum Column { Element = 1, Value = 2, Changed = 4, Quality = 5, Outcome = 6 };
const int waitMs = 10000;

class Window : public ::testing::Test {
protected:
    void open(const QStringList &arguments)
    {
        const auto options = monitor::parseMonitorOptions(QStringList{"ordelin-monitor"} + arguments);
        ASSERT_TRUE(options.ok()) << options.error().toStdString();
        window = std::make_unique<monitor::MainWindow>(api.value(), options.value());
        table = window->findChild<QTableWidget *>("valueTable");
    }

    QTableWidgetItem *cell(const QString &element, int column) const
    {
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, Element)->text() == element)
                return table->item(row, column);
        return nullptr;
    }

    bool waitFor(const QString &element, int column, const QString &text) const
    {
        return QTest::qWaitFor([&] { return cell(element, column)->text() == text; }, waitMs);
    }

    tools::Result<pollhost::DriverApi> api = pollhost::loadDriver(ORDELIN_LIBRARY_PATH);
    std::unique_ptr<monitor::MainWindow> window;
    QTableWidget *table = nullptr;
};

TEST_F(Window, ValueArrivesAndAWriteIsReadBack)
{
    open({"--sim", "DM10:2"});
    EXPECT_EQ(cell("DM11", Quality)->text(), "never read");
    EXPECT_EQ(cell("DM11", Value)->text(), "");
    ASSERT_TRUE(waitFor("DM11", Quality, "fresh"));
    EXPECT_EQ(cell("DM11", Value)->text(), "0");

    cell("DM11", Value)->setText("0x04D2"); // as an edit closed with Enter
    ASSERT_TRUE(waitFor("DM11", Outcome, "acknowledged"));
    // The image shows a write once it is sent; wait for reads after the ack.
    const QString changed = cell("DM11", Changed)->text();
    QTest::qWait(500);
    EXPECT_EQ(cell("DM11", Value)->text(), "1234");
    EXPECT_EQ(cell("DM11", Changed)->text(), changed);
    EXPECT_EQ(cell("DM11", Quality)->text(), "fresh");
}

// The message next to the field is the driver's, in the chosen language.
TEST_F(Window, ABadVariableShowsTheDriversMessage)
{
    for (const char *language : {"en", "zh"}) {
        open({"--lang", language});
        auto *field = window->findChild<QLineEdit *>("variableField");
        field->setText("DM99999");
        QTest::keyClick(field, Qt::Key_Return);
        int address = -1;
        const QString driver = api.value().checkAddrCorrect(
            "DM", "99999", address, 0, QByteArray(language) == "zh" ? 0 : 1, 1);
        ASSERT_FALSE(driver.isEmpty());
        EXPECT_EQ(window->findChild<QLabel *>("variableMessage")->text(), "DM99999: " + driver);
        EXPECT_EQ(table->rowCount(), 0);
    }
}

// What the poller's command line takes the monitor's takes too: typed
// variables become tags, and a name that is no address is a missing tag,
// not an address the driver finds empty.
TEST_F(Window, TypedVariablesAndTagNamesAsThePollerTakesThem)
{
    const struct {
        QStringList arguments;
        QStringList rows;
        QString message;
    } cases[] = {
        {{"--sim", "--trend", "DM30:2@float32"}, {"DM30@float32 (DM30, float32)", "DM32@float32 (DM32, float32)"}, ""},
        {{"--trend", "nosuch"}, {}, "no tag 'nosuch' is loaded (a project's tags come with --load or Open…)"},
        {{"DM30@floaty"}, {}, "'DM30@floaty' is not a typed variable: expected ADDRESS[:COUNT]@TYPE, e.g. DM110:2@float32 "
                              "(types: bool, uint16, int16, bcd16, hex16, uint32, int32, float32)"},
    };
    for (const auto &c : cases) {
        open(c.arguments);
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << table->item(row, Element)->text();
        EXPECT_EQ(rows, c.rows) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(window->findChild<QLabel *>("variableMessage")->text(), c.message);
        auto *chart = window->findChild<QChartView *>("trendChart")->chart();
        EXPECT_EQ(chart->series().size(), c.rows.size()) << "each typed value is trended";
        if (!c.rows.isEmpty()) {
            EXPECT_TRUE(waitFor(c.rows.last(), Quality, "fresh"));
        }
    }
}

TEST_F(Window, ATickedElementsTrendGainsSamples)
{
    open({"--sim", "--trend", "DM0", "DM0:2"});
    EXPECT_EQ(table->rowCount(), 2); // the trend's element was already polled
    auto *chart = window->findChild<QChartView *>("trendChart")->chart();
    ASSERT_EQ(chart->series().size(), 1);
    auto *series = static_cast<QLineSeries *>(chart->series().first());
    EXPECT_TRUE(QTest::qWaitFor([&] { return series->count() >= 3; }, waitMs));
}

// A project's tag reads and writes through its type and scaling; the
// window queues a once-read itself and shows what came back.
TEST_F(Window, ProjectTagsAndOnceReads)
{
    QTemporaryDir folder;
    QFile project(folder.filePath("project.json"));
    ASSERT_TRUE(project.open(QIODevice::WriteOnly));
    project.write(R"({"line": {"baud": 19200, "data_bits": 7, "parity": "even", "timeout_ms": 400},
        "tags": [{"name": "oven", "address": "DM10", "type": "int16", "scale": 0.1, "unit": "C"},
                 {"name": "total_of_conveyor_line_a_since_the_last_reset", "address": "DM20", "type": "uint32"}]})");
    project.close();
    open({"--sim", "--load", project.fileName(), "--trend", "oven"});
    const QString oven = "oven (DM10, int16)", total = "total_of_conveyor_line_a_since_the_last_reset (DM20, uint32)";
    ASSERT_TRUE(waitFor(oven, Quality, "fresh"));
    EXPECT_EQ(cell(oven, Value)->text(), "0 C");
    // Two writes in a row, one of two words: each completion goes to its own.
    cell(total, Value)->setText("70000");
    cell(oven, Value)->setText("-12.5");
    ASSERT_TRUE(waitFor(total, Outcome, "acknowledged"));
    ASSERT_TRUE(waitFor(oven, Outcome, "acknowledged"));
    EXPECT_TRUE(waitFor(oven, Value, "-12.5 C"));
    EXPECT_TRUE(waitFor(total, Value, "70000"));
    // Degrees and a plain count do not share a scale.
    cell(total, 0)->setCheckState(Qt::Checked); // its Trend box, as a click ticks it
    auto *chart = window->findChild<QChartView *>("trendChart")->chart();
    ASSERT_EQ(chart->series().size(), 2);
    QStringList axisUnits;
    for (QAbstractSeries *series : chart->series())
        for (QAbstractAxis *axis : series->attachedAxes())
            if (axis->orientation() == Qt::Vertical)
                axisUnits << axis->titleText();
    EXPECT_EQ(axisUnits, (QStringList{"C", ""}));
    // A long tag name does not push the write column out of the default window.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_LE(table->columnViewportPosition(Outcome) + table->columnWidth(Outcome), table->viewport()->width());

    auto *field = window->findChild<QLineEdit *>("variableField");
    auto *message = window->findChild<QLabel *>("variableMessage");
    field->setText("DM20:3");
    QTest::mouseClick(window->findChild<QPushButton *>("readOnce"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return message->text() == "DM20:3 read once: 4464, 1, 0 (answered)"; },
                                waitMs)) << message->text().toStdString();
    EXPECT_EQ(table->rowCount(), 2); // read once, not polled

    ASSERT_EQ(window->saveProjectTo(folder.filePath("saved.json")), "");
    const auto saved = pollhost::readProject(folder.filePath("saved.json"));
    ASSERT_TRUE(saved.ok()) << saved.error().toStdString();
    EXPECT_EQ(saved.value().tags.size(), 2);
    EXPECT_EQ(saved.value().tags.first().unit, "C");
}

// Disconnect and connect again without restarting; what was read turns
// stale, and the writes and once-reads the driver still held when the line
// closed (more than one burst of five) are reported, never kept for the next
// connection.
TEST_F(Window, ReconnectsWithoutRestart)
{
    open({"--sim", "DM0:2"});
    ASSERT_TRUE(waitFor("DM1", Quality, "fresh"));
    auto *field = window->findChild<QLineEdit *>("variableField");
    auto *message = window->findChild<QLabel *>("variableMessage");
    field->setText("DM100:12");
    QTest::mouseClick(window->findChild<QPushButton *>("readOnce"), Qt::LeftButton);
    cell("DM1", Value)->setText("7");
    window->disconnectLine();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const QString outcome = cell("DM1", Outcome)->text();
        return outcome == "acknowledged" || outcome == "not sent: disconnected first";
    }, waitMs)) << cell("DM1", Outcome)->text().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return message->text().startsWith("DM100:12 read once: "); }, waitMs))
        << message->text().toStdString();
    cell("DM1", Value)->setText("8");
    EXPECT_EQ(cell("DM1", Outcome)->text(), "not sent: not connected");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return cell("DM1", Quality)->text().startsWith("stale since"); }, waitMs));
    auto *button = window->findChild<QPushButton *>("connectButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }, waitMs));
    const QString before = message->text();
    auto *trace = window->findChild<QPlainTextEdit *>();
    const int onceReadFrames = trace->toPlainText().count("|RD DM01");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(cell("DM1", Quality)->text(), "never read");
    EXPECT_TRUE(waitFor("DM1", Quality, "fresh"));
    QTest::qWait(500);
    EXPECT_EQ(trace->toPlainText().count("|RD DM01"), onceReadFrames) << "a once-read kept for the next connection";
    EXPECT_EQ(message->text(), before);
}

// A port that fails in use (the cable's peer goes away): every value read
// turns stale at once, and polling resumes when the port is back.
TEST_F(Window, APortFailureMakesEveryValueStale)
{
    if (!e2e::Cable::available())
        GTEST_SKIP() << "socat is needed";
    QTemporaryDir folder;
    const QString plcEnd = folder.filePath("plc"), hostEnd = folder.filePath("host");
    auto cable = std::make_unique<e2e::PlcOnCable>(plcEnd, hostEnd);
    open({"--port", hostEnd, "--timeout", "100", "DM0:2"});
    ASSERT_TRUE(waitFor("DM1", Quality, "fresh"));
    cable.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return cell("DM0", Quality)->text().startsWith("stale since"); }, waitMs))
        << cell("DM0", Quality)->text().toStdString();
    cable = std::make_unique<e2e::PlcOnCable>(plcEnd, hostEnd);
    EXPECT_TRUE(waitFor("DM1", Quality, "fresh"));
}

// "Find settings" scans the chosen port off the window's thread and fills
// in the rate a PLC that hears only its own answered at.
TEST_F(Window, FindSettingsFillsInTheRateThePlcAnswers)
{
    sim::SimConfig config;
    config.strictBaud = true;
    config.line.settings.baud = 38400;
    const auto device = sim::openPseudoTerminal();
    ASSERT_TRUE(device.ok());
    const auto plc = sim::Simulator::start(config, device.value());
    ASSERT_TRUE(plc.ok());
    open({});
    auto *source = window->findChild<QComboBox *>("source");
    source->addItem(plc.value()->portName(), plc.value()->portName());
    source->setCurrentIndex(source->count() - 1);
    auto *find = window->findChild<QPushButton *>("findButton");
    ASSERT_TRUE(find->isEnabled());
    QTest::mouseClick(find, Qt::LeftButton);
    EXPECT_FALSE(window->findChild<QPushButton *>("connectButton")->isEnabled()) << "no connection while it scans";
    auto *message = window->findChild<QLabel *>("variableMessage");
    EXPECT_TRUE(QTest::qWaitFor([&] { return message->text().contains(" answered at 38400 8N1 "); }, waitMs))
        << message->text().toStdString();
    EXPECT_EQ(window->findChild<QComboBox *>("baud")->currentText(), "38400");
    EXPECT_TRUE(QTest::qWaitFor([&] { return find->text() == "Find settings"; }, waitMs));
}

TEST(Screenshot, TheWholeWindowIsSavedAsPng)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("shot.png");
    QProcess monitor;
    monitor.start(ORDELIN_MONITOR_PROGRAM, {"--library", ORDELIN_LIBRARY_PATH, "--sim",
                                            "--duration", "1", "--screenshot", path, "DM0:2"});
    ASSERT_TRUE(monitor.waitForFinished(30000));
    EXPECT_EQ(monitor.exitCode(), 0) << monitor.readAllStandardError().toStdString();
    const QImage shot(path);
    EXPECT_GE(shot.width(), 800);
    // What the command line asks for and cannot have goes to standard error, as in the poller.
    monitor.start(ORDELIN_MONITOR_PROGRAM, {"--library", ORDELIN_LIBRARY_PATH, "--sim",
                                            "--duration", "1", "--screenshot", path, "DM99999"});
    ASSERT_TRUE(monitor.waitForFinished(30000));
    EXPECT_EQ(monitor.exitCode(), 2);
    EXPECT_TRUE(monitor.readAllStandardError().contains("DM99999: Address Format:dddd, range:0~9999"));
}

} // namespace

int main(int argc, char *argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the cases (at build time) needs no window system.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
