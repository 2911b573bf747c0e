#include "resources/strings.h"

#include <QHash>

namespace farlight {

namespace {

struct Entry {
    int id;
    const char *text;
};

// The texts are ASCII; they are compared and shown exactly as they stand,
// misspellings included, because administrators know the messages by their wording.
constexpr Entry Table[] = {
    {1, "&File"},
    {2, "&Edit"},
    {3, "&View"},
    {4, "&Admin"},
    {5, "&Help"},
    {6, "&Connect"},
    {7, "&Exit"},
    {8, "&Delete"},
    {9, "Delete &All"},
    {10, "&Search"},
    {11, "&Toolbar"},
    {12, "&Set IP Address..."},
    {13, "&Upgrade FW..."},
    {14, "Farlight &Help"},
    {15, "&About Farlight"},
    {16, "Farlight"},
    {18, "&Mac Address Filtering"},
    {20, "Searching..."},
    {21, "Searching for Wireless Device on the network."},
    {22, "Cancel"},
    {23, "Mask can't set"},
    {24, "is not a valid IP address"},
    {25, "Data transmit finish"},
    {26, "Time Out"},
    {27, "This file not exist."},
    {28, "Please keyin Path."},
    {29, "Network adapter status error, Please recheck"},
    {30, "No network adapter card, please lanch a network card"},
    {31, "Exit Farlight?"},
    {32, "Set IP"},
    {33, "IP"},
    {34, "Mask"},
    {35, "Gateway"},
    {36, "Enable DHCP"},
    {39, "Set IP OK"},
    {40, "Set DHCP OK"},
    {41, "Downloading..."},
    {42, "Download file(*.bin)"},
    {43, "Set IP Failure"},
    {44, "Set DHCP Failure"},
    {45, "Value must be between 0 and 255"},
    {46, "OK"},
    {51, "Copyright (C) 2026 The Farlight developers. All rights reserved."},
    {101, "Host name"},
    {102, "IP Address"},
    {103, "SSID"},
    {104, "Channel No"},
    {105, "WEP"},
    {106, "Mac Address"},
    {201, "Block number is out of sequence."},
    {202, "File not found."},
    {203, "Access violation."},
    {204, "Disk full or allocation exceeded."},
    {205, "Illegal TFTP operation."},
    {206, "Unknown transfer ID."},
    {207, "File already exists."},
    {208, "No such user."},
    {209, "Pass"},
    {210, "Fail"},
    {211, "Mac Address Filtering"},
    {212, "Mac Address List"},
    {213, "Open file"},
    {214, "Save file"},
    {215, "Add"},
    {216, "Replace"},
    {217, "Remove"},
    {218, "Set Mac filtering"},
    {219, "Exit"},
    {221, "No"},
    {301, "Password"},
    {302, "Invalid Password"},
    {303, "Invalid Mac address"},
    {304, "This Mac address is exist in table"},
    {305, "Exit"},
    {306, "This file already existed, would you like to replace it?"},
    {307, "Static"},
    {308, "IP Address is not set. Please recheck."},
    {309, "Permission denied"},
    {310, "Bad file name or number"},
    {311, "is not valid gateway address."},
    {313, "This is not valid firmware for Farlight"},
    {314, "This is not valid MAC address filtering file for Farlight"},
    // Texts of this program's own, beyond the product's numbered messages.
    {315, "The password can only hold characters with a single-byte (Latin-1) code. Remove the other characters to continue."},
    {316, "The help page could not be opened. Farlight looks for it in share/farlight/help/index.html."},
    // farlight-cli's, with %1... for what each names.
    {401, "unknown command '%1'"},
    {402, "a password is never taken from the command line (it would show in the process list); use --password-file "
          "FILE or the FARLIGHT_PASSWORD variable"},
    {403, "name exactly one device for a static address"},
    {404, "name at least one device, or give --all"},
    {405, "--jobs takes a number from 1 to 64"},
    {406, "--wait-timeout goes with --wait"},
    {407, "name one plan file"},
    {408, "unknown format '%1' (table, json or csv)"},
    {410, "'%1' fits %2 devices: %3; name one by its MAC address"},
    {411, "'%1' is not a MAC address (write 00-0A-1B-2C-3D-4E, 00:0a:1b:2c:3d:4e or 000A1B2C3D4E)"},
    {412, "'%1' is not an IP address"},
    {413, "no device found with %1 '%2'%3"},
    {414, "no device found"},
    {420, "permissions %1 for '%2' are too open: the %3 must not be readable by group or others (chmod 600 %2)"},
    {421, "a password is needed: give --password-file FILE or set FARLIGHT_PASSWORD"},
    {422, "the password is longer than the device's %1 characters"},
    {430, "expected DEVICE,PASSWORD"},
    {431, "'%1' was given on line %2 already"},
};

const QHash<int, QString> &table()
{
    static const QHash<int, QString> map = [] {
        QHash<int, QString> m;
        for (const Entry &e : Table)
            m.insert(e.id, QString::fromLatin1(e.text));
        return m;
    }();
    return map;
}

} // namespace

QString text(int id)
{
    return table().value(id);
}

bool hasText(int id)
{
    return table().contains(id);
}

} // namespace farlight
