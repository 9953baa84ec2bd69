#include "Source/GameClasses/AiOpenList.h"

#include <algorithm>

void AiOpenList::Reset(int32_t capacity)
{
    m_capacity = std::max(capacity, 0);
    m_entries.reset(new AiOpenEntry[size_t(m_capacity) + 1]);
    m_positions.reset(new int32_t[size_t(m_capacity)]);
    std::fill_n(m_positions.get(), m_capacity, 0);
    m_count = 0;
}

void AiOpenList::Clear()
{
    for (int32_t k = 1; k <= m_count; ++k)
        m_positions[m_entries[k].cell] = 0;
    m_count = 0;
}

int32_t AiOpenList::PositionOf(int32_t cell) const
{
    if (cell < 0 || cell >= m_capacity)
        return 0;
    return m_positions[cell];
}

bool AiOpenList::Push(AiOpenEntry entry)
{
    if (m_count >= m_capacity || entry.cell < 0 || entry.cell >= m_capacity || m_positions[entry.cell] != 0)
        return false;
    ++m_count;
    Place(m_count, entry);
    SiftUp(m_count);
    return true;
}

void AiOpenList::PopMin()
{
    if (m_count == 0)
        return;
    m_positions[m_entries[1].cell] = 0;
    if (m_count == 1) {
        m_count = 0;
        return;
    }
    Place(1, m_entries[m_count]);
    --m_count;
    // With a single entry left there is nothing to sift.
    if (m_count > 1)
        SiftDown(1);
}

void AiOpenList::Update(int32_t position, AiOpenEntry entry)
{
    if (position < 1 || position > m_count || entry.cell < 0 || entry.cell >= m_capacity)
        return;
    if (m_entries[position].cell != entry.cell)
        m_positions[m_entries[position].cell] = 0;
    Place(position, entry);
    if (SiftUp(position) == position)
        SiftDown(position);
}

int32_t AiOpenList::SiftUp(int32_t position)
{
    const AiOpenEntry entry = m_entries[position];
    while (position > 1 && entry.priority < m_entries[position / 2].priority) {
        Place(position, m_entries[position / 2]);
        position /= 2;
    }
    Place(position, entry);
    return position;
}

int32_t AiOpenList::SiftDown(int32_t position)
{
    const AiOpenEntry entry = m_entries[position];
    for (;;) {
        int32_t child = 2 * position;
        if (child > m_count)
            break;
        if (child + 1 <= m_count && m_entries[child + 1].priority < m_entries[child].priority)
            ++child;
        if (!(m_entries[child].priority < entry.priority))
            break;
        Place(position, m_entries[child]);
        position = child;
    }
    Place(position, entry);
    return position;
}

void AiOpenList::Place(int32_t position, AiOpenEntry entry)
{
    m_entries[position] = entry;
    m_positions[entry.cell] = position;
}
