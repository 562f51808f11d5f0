// SPDX-License-Identifier: MIT
#include "protocol/protocol.h"

#include <QTest>

using namespace protocol;

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void shouldBuildCommandFrames_data();
    void shouldBuildCommandFrames();
    void shouldSplitValueFrameIntoThreeWrites_data();
    void shouldSplitValueFrameIntoThreeWrites();
    void shouldSplitStatusBodyByPosition_data();
    void shouldSplitStatusBodyByPosition();
    void shouldAcceptOnlySendableValueCharacters_data();
    void shouldAcceptOnlySendableValueCharacters();
};

void TestProtocol::shouldBuildCommandFrames_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("start config") << Command::StartConfig << QByteArray("#1$");
    QTest::newRow("feed zero") << Command::FeedZero << QByteArray("#2$");
    QTest::newRow("stop feed zero") << Command::StopFeedZero << QByteArray("#3$");
    QTest::newRow("feed span") << Command::FeedSpan << QByteArray("#4$");
    QTest::newRow("stop feed span") << Command::StopFeedSpan << QByteArray("#5$");
    QTest::newRow("save") << Command::Save << QByteArray("#8$");
}

void TestProtocol::shouldBuildCommandFrames()
{
    QFETCH(Command, command);
    QFETCH(QByteArray, bytes);
    QCOMPARE(commandFrame(command), bytes);
}

void TestProtocol::shouldSplitValueFrameIntoThreeWrites_data()
{
    QTest::addColumn<ValueTarget>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("low range, four characters")
        << ValueTarget::LowRange << "0.25" << QByteArray("#6") << QByteArray("0.25");
    QTest::newRow("high range, empty")
        << ValueTarget::HighRange << "" << QByteArray("#7") << QByteArray();
    QTest::newRow("blanks kept") << ValueTarget::HighRange << " 12 " << QByteArray("#7")
                                 << QByteArray(" 12 ");
    QTest::newRow("latin-1 is one byte each") << ValueTarget::LowRange << QString::fromUtf8("5°µ")
                                              << QByteArray("#6") << QByteArray("5\xB0\xB5");
}

void TestProtocol::shouldSplitValueFrameIntoThreeWrites()
{
    QFETCH(ValueTarget, target);
    QFETCH(QString, text);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, value);

    const auto writes = valueFrameWrites(target, text);
    QCOMPARE(writes[0], head);
    QCOMPARE(writes[1], value);
    QCOMPARE(writes[2], QByteArray("$"));
}

void TestProtocol::shouldSplitStatusBodyByPosition_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("16 characters")
        << QByteArray("0004002000001000") << QStringList{"0004", "0020", "0000", "1000"};
    QTest::newRow("10 characters: short low, empty high")
        << QByteArray("ABCDEFGHIJ") << QStringList{"ABCD", "EFGH", "IJ", ""};
    QTest::newRow("20 characters: last four dropped")
        << QByteArray("ABCDEFGHIJKLMNOPQRST") << QStringList{"ABCD", "EFGH", "IJKL", "MNOP"};
    QTest::newRow("empty body empties all") << QByteArray() << QStringList{"", "", "", ""};
    QTest::newRow("exactly four") << QByteArray("WXYZ") << QStringList{"WXYZ", "", "", ""};
    QTest::newRow("five, inner hash kept")
        << QByteArray("ab#cd") << QStringList{"ab#c", "d", "", ""};
    QTest::newRow("blanks are not trimmed")
        << QByteArray(" 1  2  3  4  5  ") << QStringList{" 1  ", "2  3", "  4 ", " 5  "};
    QTest::newRow("NUL and high bytes as received")
        << QByteArray("\x00\xFF\x80z", 4)
        << QStringList{QString::fromLatin1("\x00\xFF\x80z", 4), "", "", ""};
}

void TestProtocol::shouldSplitStatusBodyByPosition()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, fields);

    const StatusFields split = splitStatusBody(body);
    QCOMPARE((QStringList{split.zero, split.span, split.lowRange, split.highRange}), fields);
}

void TestProtocol::shouldAcceptOnlySendableValueCharacters_data()
{
    QTest::addColumn<QChar>("c");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("digit") << QChar('7') << true;
    QTest::newRow("blank") << QChar(' ') << true;
    QTest::newRow("minus") << QChar('-') << true;
    QTest::newRow("degree sign (latin-1)") << QChar(0xB0) << true;
    QTest::newRow("frame start") << QChar('#') << false;
    QTest::newRow("frame end") << QChar('$') << false;
    QTest::newRow("tab") << QChar('\t') << false;
    QTest::newRow("NUL") << QChar(0) << false;
    QTest::newRow("DEL") << QChar(0x7F) << false;
    QTest::newRow("C1 control") << QChar(0x85) << false;
    QTest::newRow("euro sign (no single byte)") << QChar(0x20AC) << false;
}

void TestProtocol::shouldAcceptOnlySendableValueCharacters()
{
    QFETCH(QChar, c);
    QFETCH(bool, sendable);
    QCOMPARE(isSendableValueChar(c), sendable);
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
