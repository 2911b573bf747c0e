#include "simreplies.h"

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"

namespace farlight::DeviceReply {

namespace {

QByteArray replyBase(qsizetype size, quint8 opcode, quint8 flag, quint16 sequence, const MacAddress &requester,
                     const MacAddress &device, quint16 status)
{
    QByteArray bytes(size, '\0');
    PacketHeader{opcode, flag, sequence}.writeTo(bytes);
    ByteWriter w(bytes);
    w.mac(RequesterMacOffset, requester);
    w.mac(DeviceMacOffset, device);
    w.u16be(StatusOffset, status);
    return bytes;
}

} // namespace

QByteArray BuildSetIpReply(quint16 sequence, quint8 flag, const MacAddress &requester, const MacAddress &device,
                           quint16 status)
{
    return replyBase(SetIpReplySize, Opcode::SetIp, flag, sequence, requester, device, status);
}

QByteArray BuildFilterReply(quint16 sequence, quint8 flag, const MacAddress &requester, const MacAddress &device,
                            quint16 status, const QList<MacAddress> &list)
{
    QByteArray bytes = replyBase(FilterReplySize, Opcode::Filter, flag, sequence, requester, device, status);
    ByteWriter w(bytes);
    const qsizetype n = qMin(list.size(), FilterSlotCount);
    for (qsizetype i = 0; i < n; ++i)
        w.mac(FilterListOffset + FilterSlotSize * i, list[i]);
    return bytes;
}

} // namespace farlight::DeviceReply
