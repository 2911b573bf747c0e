#include "protocol/sequencecounters.h"

namespace farlight {

quint16 RequestCounter::take()
{
    const quint16 current = m_value;
    m_value = current >= Max ? 0 : quint16(current + 1);
    return current;
}

} // namespace farlight
