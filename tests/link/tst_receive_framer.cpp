// SPDX-License-Identifier: MIT
#include "protocol/protocol.h"
#include "protocol/receive_framer.h"
#include "reference_framer.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

class TestReceiveFramer : public QObject
{
    Q_OBJECT
private slots:
    void shouldFrameCharacterByCharacter_data();
    void shouldFrameCharacterByCharacter();
    void shouldMatchTheReferenceWhateverTheNotificationSplit();
    void shouldKeepAtMostSixteenBodyCharacters();
    void shouldForgetAtRunBoundaries_data();
    void shouldForgetAtRunBoundaries();
};

void TestReceiveFramer::shouldFrameCharacterByCharacter_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("framesEnded");
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<bool>("open");

    QTest::newRow("sixteen-character frame")
        << QByteArray("#0004002000001000$") << 1 << QByteArray("0004002000001000") << false;
    QTest::newRow("noise before the first hash is dropped")
        << QByteArray("xy\r\n#ABCD$") << 1 << QByteArray("ABCD") << false;
    QTest::newRow("lone dollar before any frame shows empty fields")
        << QByteArray("$") << 1 << QByteArray() << false;
    QTest::newRow("lone dollar after a frame shows it again")
        << QByteArray("#ABCDEFGH$zz$") << 2 << QByteArray("ABCDEFGH") << false;
    QTest::newRow("hash inside a frame is a body character")
        << QByteArray("#ab#cd$") << 1 << QByteArray("ab#cd") << false;
    QTest::newRow("characters after the end are dropped")
        << QByteArray("#ABCD$EFGH") << 1 << QByteArray("ABCD") << false;
    QTest::newRow("hash alone opens a frame and shows nothing")
        << QByteArray("#12") << 0 << QByteArray() << true;
    QTest::newRow("next hash empties the last body")
        << QByteArray("#ABCDEFGH$#EF$") << 2 << QByteArray("EF") << false;
    QTest::newRow("empty frame") << QByteArray("#ABCD$#$") << 2 << QByteArray() << false;
    QTest::newRow("long body keeps its first sixteen")
        << QByteArray("#ABCDEFGHIJKLMNOPQRST$") << 1 << QByteArray("ABCDEFGHIJKLMNOP") << false;
    QTest::newRow("NUL and high bytes are body characters")
        << QByteArray("#\x00\xFF\x80\x7F$", 6) << 1 << QByteArray("\x00\xFF\x80\x7F", 4) << false;
}

void TestReceiveFramer::shouldFrameCharacterByCharacter()
{
    QFETCH(QByteArray, input);
    QFETCH(int, framesEnded);
    QFETCH(QByteArray, shown);
    QFETCH(bool, open);

    ReceiveFramer framer;
    int ended = 0;
    for (char c : input)
        ended += framer.step(c) ? 1 : 0;

    QCOMPARE(ended, framesEnded);
    QCOMPARE(framer.shownBody().toByteArray(), shown);
    QCOMPARE(framer.frameOpen(), open);
}

// The fuzz target's corpus and seeded random streams, cut into random
// notifications, against the plain reference: every frame end, the fields
// shown after it and whether a frame is open, both one byte at a time (the
// device link's path) and one notification at a time.
void TestReceiveFramer::shouldMatchTheReferenceWhateverTheNotificationSplit()
{
    QList<QByteArray> streams;
    const QDir corpus(QStringLiteral(ZELVOR_FRAMER_CORPUS));
    QByteArray all;
    for (const QFileInfo &entry : corpus.entryInfoList(QDir::Files, QDir::Name)) {
        QFile file(entry.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        streams << file.readAll();
        all += streams.last();
    }
    QVERIFY(streams.size() >= 8);
    streams << all;
    QRandomGenerator rng(20261207);
    const QByteArray alphabet("#$#$0123456789 .-AZ\x00\xFF", 22);
    for (int round = 0; round < 200; ++round) {
        QByteArray stream;
        const int length = rng.bounded(1, 400);
        for (int i = 0; i < length; ++i)
            stream.append(alphabet.at(rng.bounded(alphabet.size())));
        streams << stream;
    }

    auto fields = [](QByteArrayView body) {
        const protocol::StatusFields f = protocol::splitStatusBody(body);
        return QStringList{f.zero, f.span, f.lowRange, f.highRange};
    };
    auto shownByReference = [](const ReferenceFramer &ref) {
        QStringList shown;
        for (const std::string &field : ref.shown)
            shown << QString::fromLatin1(field.data(), qsizetype(field.size()));
        return shown;
    };
    for (const QByteArray &stream : streams) {
        ReceiveFramer stepped;
        ReceiveFramer batched;
        ReferenceFramer ref;
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype n = qMin<qsizetype>(rng.bounded(1, 40), stream.size() - at);
            int refEnded = 0;
            for (char c : QByteArrayView(stream).sliced(at, n)) {
                const bool ended = ref.take(c);
                QCOMPARE(stepped.step(c), ended);
                if (ended) {
                    ++refEnded;
                    QCOMPARE(fields(stepped.shownBody()), shownByReference(ref));
                }
            }
            QCOMPARE(batched.feed(QByteArrayView(stream).sliced(at, n)), refEnded);
            if (refEnded > 0)
                QCOMPARE(fields(batched.shownBody()), shownByReference(ref));
            QCOMPARE(batched.frameOpen(), ref.in_frame);
            QCOMPARE(stepped.frameOpen(), ref.in_frame);
            if (ref.in_frame) // the body so far, as much of it as can be shown
                QCOMPARE(batched.body().toByteArray(),
                         QByteArray::fromStdString(ref.body).left(ReceiveFramer::MaxBody));
            at += n;
        }
    }
}

void TestReceiveFramer::shouldKeepAtMostSixteenBodyCharacters()
{
    ReceiveFramer framer;
    framer.feed("#");
    const QByteArray chunk(64 * 1024, 'N');
    for (int i = 0; i < 16; ++i)
        framer.feed(chunk);
    QVERIFY(framer.frameOpen());
    QCOMPARE(framer.body().size(), qsizetype(ReceiveFramer::MaxBody));
    QCOMPARE(framer.feed("$"), 1);
    QCOMPARE(protocol::splitStatusBody(framer.shownBody()).highRange, QString("NNNN"));
}

// The port closing drops only an open frame; a new run forgets the last
// completed body as well, as at start-up.
void TestReceiveFramer::shouldForgetAtRunBoundaries_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("newRun"); // reset() rather than dropOpenFrame()
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("close: partial body is not spliced into the next frame")
        << QByteArray("#OLD1") << false << QByteArray("#NEW1NEW2NEW3NEW4$")
        << QByteArray("NEW1NEW2NEW3NEW4");
    QTest::newRow("close: tail of a cut frame is dropped as noise")
        << QByteArray("#OLD1") << false << QByteArray("2222$") << QByteArray();
    QTest::newRow("close: completed frame is still shown by a lone dollar")
        << QByteArray("#ABCDEFGH$") << false << QByteArray("$") << QByteArray("ABCDEFGH");
    QTest::newRow("new run: lone dollar before the first frame shows empty fields")
        << QByteArray("#ABCDEFGH$") << true << QByteArray("$") << QByteArray();
    QTest::newRow("new run: tail of a cut frame is dropped as noise")
        << QByteArray("#ABCDEFGH$#OLD1") << true << QByteArray("2222$") << QByteArray();
    QTest::newRow("new run: a lone dollar after its first frame shows that frame")
        << QByteArray("#ABCDEFGH$") << true << QByteArray("#NEW1$zz$") << QByteArray("NEW1");
}

void TestReceiveFramer::shouldForgetAtRunBoundaries()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, newRun);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, shown);

    ReceiveFramer framer;
    framer.feed(before);
    newRun ? framer.reset() : framer.dropOpenFrame();
    QVERIFY(!framer.frameOpen());
    QCOMPARE(framer.feed(after), int(after.count('$')));
    QCOMPARE(framer.shownBody().toByteArray(), shown);
}

QTEST_APPLESS_MAIN(TestReceiveFramer)
#include "tst_receive_framer.moc"
