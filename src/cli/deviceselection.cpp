#include "cli/deviceselection.h"

#include "cli/deviceformat.h"
#include "discovery/devicename.h"
#include "resources/strings.h"
#include "session/appstate.h"
#include "session/devicelistmodel.h"

#include <QRegularExpression>

namespace farlight::cli {

using namespace Qt::StringLiterals;

bool OnAdapter(const AppState &state, int index, const QString &adapter)
{
    if (adapter.isEmpty())
        return true;
    const AdapterRecord *record = state.adapterOf(index);
    return record && record->Name == adapter;
}

namespace {

// Text that can only have been meant as a MAC or an IP address gets a message saying what is
// wrong with it, rather than "no such host name".
bool LooksLikeMac(const QString &name)
{
    static const QRegularExpression pattern(u"^[0-9A-Fa-f]{1,2}([-:][0-9A-Fa-f]{0,2}){2,}$|^[0-9A-Fa-f]{12,}$"_s);
    return pattern.match(name).hasMatch();
}

bool LooksLikeIp(const QString &name)
{
    static const QRegularExpression pattern(u"^[0-9.]+$"_s);
    return name.contains(u'.') && pattern.match(name).hasMatch();
}

} // namespace

QString DeviceLabel(const AppState &state, int index)
{
    const DeviceRecord *device = state.device(index);
    if (!device)
        return {};
    return u"%1 (%2, %3)"_s.arg(Printable(device->HostName), device->IpAddress, FormatMac(device->Mac));
}

DeviceSelection SelectDevices(const AppState &state, const QStringList &names, bool all, const QString &adapter)
{
    DeviceSelection selection;
    QList<int> candidates;
    for (int i = 0; i < state.deviceCount; ++i) {
        if (OnAdapter(state, i, adapter))
            candidates.append(i);
    }
    if (all) {
        selection.indexes = candidates;
        if (candidates.isEmpty()) {
            selection.messages.append(StringId::CliNoDevice);
            selection.errors.append(text(StringId::CliNoDevice));
            selection.rejected.append(u"--all"_s);
        }
        return selection;
    }
    for (const QString &name : names) {
        const DeviceName deviceName(name);
        const bool mac = deviceName.kind() == DeviceName::Kind::Mac;
        const bool ip = deviceName.kind() == DeviceName::Kind::Address;
        QList<int> matches;
        for (int i : std::as_const(candidates)) {
            if (deviceName.matches(state.deviceTable[std::size_t(i)]))
                matches.append(i);
        }
        if (matches.size() == 1) {
            if (!selection.indexes.contains(matches.first()))
                selection.indexes.append(matches.first());
            continue;
        }
        selection.rejected.append(name);
        if (matches.size() > 1) {
            QStringList labels;
            for (int i : std::as_const(matches))
                labels.append(DeviceLabel(state, i));
            selection.messages.append(StringId::CliAmbiguousName);
            selection.errors.append(text(StringId::CliAmbiguousName).arg(name, QString::number(matches.size()), labels.join(u"; "_s)));
        } else if (!mac && !ip && LooksLikeMac(name)) {
            selection.messages.append(StringId::CliNotAMac);
            selection.errors.append(text(StringId::CliNotAMac).arg(name));
        } else if (!mac && !ip && LooksLikeIp(name)) {
            selection.messages.append(StringId::CliNotAnIp);
            selection.errors.append(text(StringId::CliNotAnIp).arg(name));
        } else {
            selection.messages.append(StringId::CliNoSuchDevice);
            selection.errors.append(text(StringId::CliNoSuchDevice).arg(
                mac ? u"MAC address"_s : ip ? u"IP address"_s : u"host name"_s, name,
                adapter.isEmpty() ? QString() : u" on %1"_s.arg(adapter)));
        }
    }
    return selection;
}

} // namespace farlight::cli
