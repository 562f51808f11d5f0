// SPDX-License-Identifier: MIT
// A mebibyte of random bytes (NUL and 0x80..0xFF among them) from the
// instrument's side through the real port into the main window. Whenever the
// reading boxes change, they must show what the plain reference shows after
// one of the frames received, no earlier than the last such frame seen.

#include "app/module1.h"
#include "console/orvane.h"
#include "console_test_support.h"
#include "link/serial_port.h"
#include "port_routes.h"
#include "pty_instrument.h"
#include "reference_framer.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using namespace consoletest;

namespace {

QStringList latin1Fields(const std::array<std::string, 4> &fields)
{
    QStringList out;
    for (const std::string &f : fields) {
        QString s;
        for (char c : f)
            s.append(QChar(static_cast<unsigned char>(c)));
        out << s;
    }
    return out;
}

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void shouldShowOnlyWhatTheReferenceShows_data();
    void shouldShowOnlyWhatTheReferenceShows();

private:
    QTemporaryDir records;
    std::unique_ptr<Orvane> window;
    MessageBoxCloser boxes;
    QString slavePath;
};

void TestBadInput::initTestCase()
{
    qApp->installEventFilter(&boxes);
    window = std::make_unique<Orvane>();
    window->setRunRecordFolder(records.path());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestBadInput::cleanupTestCase()
{
    window.reset();
    qApp->removeEventFilter(&boxes);
}

void TestBadInput::shouldShowOnlyWhatTheReferenceShows_data()
{
    QTest::addColumn<int>("hashAndDollarIn256");
    // Uniform bytes: "#" and "$" once in 256, so long bodies and long noise.
    QTest::newRow("uniform bytes") << 2;
    // Delimiters one byte in eight: many short and empty frames, lone "$".
    QTest::newRow("dense delimiters") << 64;
}

void TestBadInput::shouldShowOnlyWhatTheReferenceShows()
{
    QFETCH(int, hashAndDollarIn256);
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator rng(seed);

    QByteArray noise(1024 * 1024, '\0');
    for (char &c : noise) {
        const quint32 r = rng.bounded(256);
        if (r < quint32(hashAndDollarIn256))
            c = (r % 2) ? '#' : '$';
        else
            c = char(rng.bounded(256));
    }
    // The last frame ends the test: its readings say that everything arrived.
    const QByteArray marker = "$#MARKzeroSPANlow!$";
    const QByteArray stream = noise + marker;

    // What the boxes may show: the reference's readings after each "$", in order.
    // An earlier row's last frame ended, so its body is still there for a lone "$".
    ReferenceFramer ref;
    ref.body = readingTexts(window.get()).join(QString()).toLatin1().toStdString();
    std::vector<QStringList> allowed{readingTexts(window.get())};
    for (char c : stream) {
        if (ref.take(c))
            allowed.push_back(latin1Fields(ref.shown));
    }
    const QStringList last = allowed.back();
    QCOMPARE(last, (QStringList{"MARK", "zero", "SPAN", "low!"}));

    PtyInstrument instrument;
    QVERIFY(instrument.isValid());
    slavePath = instrument.slavePath();
    window->setPortMap(everyPortTo(slavePath));
    action(window.get(), "mnuOperation_start_capture")->trigger();
    QCOMPARE(instrument.receive(3), QByteArray("#1$"));

    // Checked once the handler that changed a box has finished all four.
    std::size_t cursor = 0;
    int updates = 0;
    QString mismatch;
    QTimer check;
    check.setSingleShot(true);
    check.setInterval(0);
    connect(&check, &QTimer::timeout, this, [&] {
        ++updates;
        const QStringList now = readingTexts(window.get());
        std::size_t i = cursor;
        while (i < allowed.size() && allowed[i] != now)
            ++i;
        if (i == allowed.size() && mismatch.isEmpty())
            mismatch = QStringLiteral("after frame %1 the boxes show %2")
                           .arg(cursor)
                           .arg(now.join(QLatin1Char('|')).toLatin1().toHex(' '));
        else if (i < allowed.size())
            cursor = i;
    });
    for (const char *name : ReadingBoxes) {
        connect(window->findChild<QLineEdit *>(QLatin1String(name)), &QLineEdit::textChanged,
                &check, qOverload<>(&QTimer::start));
    }

    QVERIFY(instrument.send(stream));
    QTRY_COMPARE_WITH_TIMEOUT(readingTexts(window.get()), last, 20000);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(updates > 0);
    QCOMPARE(Module1::device_found, qint16(1));
    qInfo("%zu frames in the stream, %d updates of the boxes", allowed.size() - 1, updates);

    action(window.get(), "mnuOperation_stop_capture")->trigger();
    QVERIFY(isIdle(window.get()));
    QCOMPARE(boxes.shown, 0);
}

QTEST_MAIN(TestBadInput)
#include "tst_bad_input.moc"
