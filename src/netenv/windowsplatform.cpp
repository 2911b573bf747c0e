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
#include <cstddef>
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
// Dial-up adapters are never entered; the interface table names them and its loopback interface
// by these descriptions.
constexpr QLatin1StringView PppAdapterDescription{"PPP Adapter."};
constexpr QLatin1StringView LoopbackDescription{"MS TCP Loopback interface"};

// A buffer for the tables, aligned for the structures the system writes into it.
class TableBuffer
{
public:
    explicit TableBuffer(ULONG bytes)
        : m_bytes(bytes)
        , m_words((std::size_t(bytes) + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t))
    {
    }
    template<typename T>
    T *as()
    {
        return reinterpret_cast<T *>(m_words.data());
    }
    // The number of rows of @p rowBytes each that fit after a header of @p headerBytes.
    std::size_t rowCapacity(std::size_t headerBytes, std::size_t rowBytes) const
    {
        return m_bytes < headerBytes ? 0 : (m_bytes - headerBytes) / rowBytes;
    }

private:
    std::size_t m_bytes = 0;
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

// The first six bytes of a hardware address field holding @p length valid bytes; a shorter
// address is padded with zeros.
template<std::size_t N>
MacAddress MacOf(const BYTE (&field)[N], std::size_t length)
{
    MacAddress mac{};
    std::copy_n(field, std::min({length, N, mac.size()}), mac.begin());
    return mac;
}

// The address table as it is now; empty when there is none or it cannot be read.
std::vector<MIB_IPADDRROW> ReadAddressRows()
{
    ULONG size = 0;
    GetIpAddrTable(nullptr, &size, TRUE);
    if (size == 0)
        return {};
    TableBuffer buffer(size);
    if (GetIpAddrTable(buffer.as<MIB_IPADDRTABLE>(), &size, TRUE) != NO_ERROR)
        return {};
    const MIB_IPADDRTABLE *table = buffer.as<MIB_IPADDRTABLE>();
    const std::size_t rows = std::min<std::size_t>(
        table->dwNumEntries, buffer.rowCapacity(offsetof(MIB_IPADDRTABLE, table), sizeof(MIB_IPADDRROW)));
    return std::vector<MIB_IPADDRROW>(table->table, table->table + rows);
}

// Windows NT 4.0 has no adapter list; its interface table stands in, with addresses from the
// address table and no gateways. A table that cannot be read lists no adapter.
QList<PlatformAdapter> InterfaceTableAdapters()
{
    QList<PlatformAdapter> adapters;
    ULONG size = 0;
    GetIfTable(nullptr, &size, TRUE);
    if (size == 0)
        return adapters;
    TableBuffer buffer(size);
    if (GetIfTable(buffer.as<MIB_IFTABLE>(), &size, TRUE) != NO_ERROR)
        return adapters;
    const MIB_IFTABLE *table = buffer.as<MIB_IFTABLE>();
    const std::size_t rows = std::min<std::size_t>(
        table->dwNumEntries, buffer.rowCapacity(offsetof(MIB_IFTABLE, table), sizeof(MIB_IFROW)));
    for (std::size_t i = 0; i < rows; ++i) {
        const MIB_IFROW &row = table->table[i];
        // Whole descriptions, exact case: "PPP Adapter. #2" is an adapter here.
        const QString description = FieldText(row.bDescr, std::min<DWORD>(row.dwDescrLen, MAXLEN_IFDESCR));
        if (description == PppAdapterDescription || description == LoopbackDescription
            || row.dwType == MIB_IF_TYPE_LOOPBACK)
            continue;

        PlatformAdapter adapter;
        adapter.name = description;
        adapter.index = qint32(row.dwIndex);
        adapter.mac = MacOf(row.bPhysAddr, row.dwPhysAddrLen);
        adapter.ipAddress = NoAddress;
        adapter.subnetMask = NoAddress;
        adapter.gateway = NoAddress;
        // Read afresh for every interface; with several addresses on one interface the last one
        // in the sorted table wins. The table holds addresses in network byte order.
        for (const MIB_IPADDRROW &address : ReadAddressRows()) {
            if (address.dwIndex != row.dwIndex)
                continue;
            adapter.ipAddress = AddressToText(quint32(ntohl(address.dwAddr)));
            adapter.subnetMask = AddressToText(quint32(ntohl(address.dwMask)));
        }
        adapters.append(adapter);
    }
    return adapters;
}

std::optional<QList<PlatformAdapter>> AdapterInfoAdapters()
{
    ULONG size = 0;
    // The size query is expected to find the empty buffer too small.
    const DWORD sizeResult = GetAdaptersInfo(nullptr, &size);
    if (sizeResult != ERROR_SUCCESS && sizeResult != ERROR_BUFFER_OVERFLOW)
        return std::nullopt;
    QList<PlatformAdapter> adapters;
    if (size == 0)
        return adapters;
    TableBuffer buffer(size);
    if (GetAdaptersInfo(buffer.as<IP_ADAPTER_INFO>(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    for (const IP_ADAPTER_INFO *source = buffer.as<IP_ADAPTER_INFO>(); source; source = source->Next) {
        // A prefix test: anything that begins like a dial-up adapter's description is one.
        if (FieldText(source->Description, sizeof source->Description).startsWith(PppAdapterDescription)
            || source->Type == MIB_IF_TYPE_LOOPBACK)
            continue;

        PlatformAdapter adapter;
        adapter.name = FieldText(source->AdapterName, sizeof source->AdapterName);
        adapter.index = qint32(source->Index);
        adapter.mac = MacOf(source->Address, source->AddressLength);
        // Only the first address and the first gateway are used; the system writes "0.0.0.0"
        // where there is none.
        const IP_ADDR_STRING &address = source->IpAddressList;
        adapter.ipAddress = FieldText(address.IpAddress.String, sizeof address.IpAddress.String);
        adapter.subnetMask = FieldText(address.IpMask.String, sizeof address.IpMask.String);
        adapter.gateway = FieldText(source->GatewayList.IpAddress.String, sizeof source->GatewayList.IpAddress.String);
        adapters.append(adapter);
    }
    return adapters;
}

} // namespace

WindowsPlatform::~WindowsPlatform()
{
    if (m_mutex)
        CloseHandle(static_cast<HANDLE>(m_mutex));
}

std::optional<QList<PlatformAdapter>> WindowsPlatform::adapters()
{
    if (osVersionCode() == OsVersion::WindowsNt4)
        return InterfaceTableAdapters();
    return AdapterInfoAdapters();
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
