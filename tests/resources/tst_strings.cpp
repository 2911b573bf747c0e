#include "resources/strings.h"

#include <QTest>

// Each numbered text as the product shows it, copied from the documentation of the window or
// message that uses it (not generated from the table under test).
class TestStrings : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void idsWithoutText_data();
    void idsWithoutText();
    void applicationTitle();
};

void TestStrings::text_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("expected");
    const QList<std::pair<int, const char *>> rows = {
        {1, "&File"}, {2, "&Edit"}, {3, "&View"}, {4, "&Admin"}, {5, "&Help"}, {6, "&Connect"}, {7, "&Exit"},
        {8, "&Delete"}, {9, "Delete &All"}, {10, "&Search"}, {11, "&Toolbar"}, {12, "&Set IP Address..."},
        {13, "&Upgrade FW..."}, {14, "Farlight &Help"}, {15, "&About Farlight"}, {16, "Farlight"},
        {18, "&Mac Address Filtering"}, {20, "Searching..."}, {21, "Searching for Wireless Device on the network."},
        {22, "Cancel"}, {23, "Mask can't set"}, {24, "is not a valid IP address"}, {25, "Data transmit finish"},
        {26, "Time Out"}, {27, "This file not exist."}, {28, "Please keyin Path."},
        {29, "Network adapter status error, Please recheck"},
        {30, "No network adapter card, please lanch a network card"}, {31, "Exit Farlight?"}, {32, "Set IP"},
        {33, "IP"}, {34, "Mask"}, {35, "Gateway"}, {36, "Enable DHCP"}, {39, "Set IP OK"}, {40, "Set DHCP OK"},
        {41, "Downloading..."}, {42, "Download file(*.bin)"}, {43, "Set IP Failure"}, {44, "Set DHCP Failure"},
        {45, "Value must be between 0 and 255"}, {46, "OK"}, {101, "Host name"}, {102, "IP Address"},
        {103, "SSID"}, {104, "Channel No"}, {105, "WEP"}, {106, "Mac Address"},
        {201, "Block number is out of sequence."}, {202, "File not found."}, {203, "Access violation."},
        {204, "Disk full or allocation exceeded."}, {205, "Illegal TFTP operation."}, {206, "Unknown transfer ID."},
        {207, "File already exists."}, {208, "No such user."}, {209, "Pass"}, {210, "Fail"},
        {211, "Mac Address Filtering"}, {212, "Mac Address List"}, {213, "Open file"}, {214, "Save file"},
        {215, "Add"}, {216, "Replace"}, {217, "Remove"}, {218, "Set Mac filtering"}, {219, "Exit"}, {221, "No"},
        {301, "Password"}, {302, "Invalid Password"}, {303, "Invalid Mac address"},
        {304, "This Mac address is exist in table"}, {305, "Exit"},
        {306, "This file already existed, would you like to replace it?"}, {307, "Static"},
        {308, "IP Address is not set. Please recheck."}, {309, "Permission denied"}, {310, "Bad file name or number"},
        {311, "is not valid gateway address."}, {313, "This is not valid firmware for Farlight"},
        {314, "This is not valid MAC address filtering file for Farlight"},
    };
    for (const auto &[id, expected] : rows)
        QTest::addRow("%d", id) << id << QString::fromLatin1(expected);
}

void TestStrings::text()
{
    QFETCH(int, id);
    QFETCH(QString, expected);
    QCOMPARE(farlight::text(id), expected);
    QVERIFY(farlight::hasText(id));
}

void TestStrings::idsWithoutText_data()
{
    QTest::addColumn<int>("id");
    for (int id : {0, 17, 19, 37, 38, 47, 48, 100, 220, 312, 400, -1})
        QTest::addRow("%d", id) << id;
}

void TestStrings::idsWithoutText()
{
    QFETCH(int, id);
    QVERIFY(!farlight::hasText(id));
    QVERIFY(farlight::text(id).isEmpty());
}

void TestStrings::applicationTitle()
{
    QCOMPARE(farlight::ApplicationTitle, QStringLiteral("QM735XL Utility"));
    // The copyright notice is ours to word, but it must be one line.
    QVERIFY(!farlight::text(51).isEmpty());
    QVERIFY(!farlight::text(51).contains(u'\n'));
}

QTEST_GUILESS_MAIN(TestStrings)
#include "tst_strings.moc"
