// The system headers must not define min and max as macros, and need no rarely used parts.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include "netenv/windowsplatform.h"

#include "netenv/platformutils.h"

#include <QDesktopServices>
#include <QHostAddress>

#include <algorithm>
#include <cstdint>
#include <vector>

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

namespace farlight {

namespace {

const wchar_t SingleInstanceMutexName[] = L"Local\\Farlight.SingleInstance";

// A buffer for the tables, aligned for the structures the system writes into it.
class TableBuffer
{
public:
    explicit TableBuffer(ULONG bytes)
        : m_words((std::size_t(bytes) + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t))
    {
    }
    template<typename T>
    T *as()
    {
        return reinterpret_cast<T *>(m_words.data());
    }

private:
    std::vector<std::uint64_t> m_words;
};

// Single-byte text of a fixed-size field that may lack its NUL.
QString FieldText(const char *field, std::size_t capacity)
{
    const std::size_t length = std::find(field, field + capacity, '\0') - field;
    return QString::fromLocal8Bit(field, qsizetype(length));
}

QString FieldText(const BYTE *field, std::size_t capacity)
{
    return FieldText(reinterpret_cast<const char *>(field), capacity);
}

} // namespace

WindowsPlatform::~WindowsPlatform()
{
    if (m_mutex)
        CloseHandle(static_cast<HANDLE>(m_mutex));
}

IfTable WindowsPlatform::readInterfaceTable()
{
    IfTable table;
    ULONG size = 0;
    GetIfTable(nullptr, &size, TRUE);
    table.sizeBytes = qint64(size);
    if (size == 0)
        return table;
    TableBuffer buffer(size);
    table.readResult = GetIfTable(buffer.as<MIB_IFTABLE>(), &size, TRUE);
    if (table.readResult != NO_ERROR)
        return table;
    const MIB_IFTABLE *rows = buffer.as<MIB_IFTABLE>();
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        const MIB_IFROW &source = rows->table[i];
        IfRow row;
        row.index = source.dwIndex;
        row.physicalAddress = QByteArray(reinterpret_cast<const char *>(source.bPhysAddr),
                                         qsizetype(std::min<DWORD>(source.dwPhysAddrLen, MAXLEN_PHYSADDR)));
        row.description = FieldText(source.bDescr, std::min<DWORD>(source.dwDescrLen, MAXLEN_IFDESCR));
        row.flags.up = source.dwOperStatus == MIB_IF_OPER_STATUS_OPERATIONAL;
        row.flags.loopback = source.dwType == MIB_IF_TYPE_LOOPBACK;
        row.flags.pointToPoint = source.dwType == MIB_IF_TYPE_PPP;
        table.rows.append(row);
    }
    return table;
}

IpAddrTable WindowsPlatform::readIpAddressTable()
{
    IpAddrTable table;
    ULONG size = 0;
    GetIpAddrTable(nullptr, &size, TRUE);
    table.sizeBytes = qint64(size);
    if (size == 0)
        return table;
    TableBuffer buffer(size);
    table.readResult = GetIpAddrTable(buffer.as<MIB_IPADDRTABLE>(), &size, TRUE);
    if (table.readResult != NO_ERROR)
        return table;
    const MIB_IPADDRTABLE *rows = buffer.as<MIB_IPADDRTABLE>();
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        const MIB_IPADDRROW &source = rows->table[i];
        // The table holds addresses in network byte order; the record holds them as numbers.
        table.rows.append({ntohl(source.dwAddr), source.dwIndex, ntohl(source.dwMask)});
    }
    return table;
}

AdapterInfoList WindowsPlatform::readAdaptersInfo()
{
    AdapterInfoList list;
    ULONG size = 0;
    list.sizeResult = GetAdaptersInfo(nullptr, &size);
    if (list.sizeResult != ERROR_SUCCESS && list.sizeResult != ERROR_BUFFER_OVERFLOW)
        return list;
    // Nothing to read is an empty list, not a failure.
    if (size == 0)
        return list;
    TableBuffer buffer(size);
    list.readResult = GetAdaptersInfo(buffer.as<IP_ADAPTER_INFO>(), &size);
    if (list.readResult != ERROR_SUCCESS)
        return list;
    for (const IP_ADAPTER_INFO *source = buffer.as<IP_ADAPTER_INFO>(); source; source = source->Next) {
        if (source->Type == MIB_IF_TYPE_LOOPBACK)
            continue;
        AdapterInfo adapter;
        adapter.name = FieldText(source->AdapterName, sizeof source->AdapterName);
        adapter.description = FieldText(source->Description, sizeof source->Description);
        adapter.address = QByteArray(reinterpret_cast<const char *>(source->Address),
                                     qsizetype(std::min<UINT>(source->AddressLength, MAX_ADAPTER_ADDRESS_LENGTH)));
        adapter.index = source->Index;
        for (const IP_ADDR_STRING *entry = &source->IpAddressList; entry; entry = entry->Next) {
            adapter.ipAddressList.append({FieldText(entry->IpAddress.String, sizeof entry->IpAddress.String),
                                          FieldText(entry->IpMask.String, sizeof entry->IpMask.String)});
        }
        for (const IP_ADDR_STRING *entry = &source->GatewayList; entry; entry = entry->Next)
            adapter.gatewayList.append(FieldText(entry->IpAddress.String, sizeof entry->IpAddress.String));
        // The list names adapters that are present; whether their link is up it does not say.
        adapter.flags.up = true;
        adapter.flags.pointToPoint = source->Type == MIB_IF_TYPE_PPP;
        list.adapters.append(adapter);
    }
    return list;
}

bool WindowsPlatform::removeArpEntry(qint32 interfaceIndex, const QString &ipAddress)
{
    const QHostAddress address(ipAddress);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    MIB_IPNETROW row{};
    row.dwIndex = DWORD(interfaceIndex);
    row.dwAddr = htonl(address.toIPv4Address());
    return DeleteIpNetEntry(&row) == NO_ERROR;
}

bool WindowsPlatform::openUrl(const QUrl &url)
{
    // The shell starts the browser associated with the scheme; no temporary file is needed.
    return QDesktopServices::openUrl(url);
}

bool WindowsPlatform::claimSingleInstance()
{
    if (m_mutex)
        return true;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, SingleInstanceMutexName);
    // Without the mutex there is no telling whether a copy runs; starting beats never starting.
    if (!mutex)
        return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    m_mutex = mutex;
    return true;
}

qint32 WindowsPlatform::osVersionCode()
{
    return GetOsVersionCode();
}

} // namespace farlight
