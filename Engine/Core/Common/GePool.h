// A pool of equal-sized cells from which the nodes of maps and lists come.
//
// Cells are handed out from blocks that only ever grow while the pool lives,
// so a node never moves. Freed cells go onto a free list and are reused, most
// recently freed first, before any new memory is taken. All memory goes back
// to the allocator in one sweep (FreeBlocks, or the destructor).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

template <typename T>
class CGePool {
public:
    // A cell holds one payload. Its link is the next free cell while it is
    // free and points at the cell itself while its payload is live, which
    // tells FreeBlocks what to destroy: a block may also hold cells never
    // handed out or already freed.
    struct Cell {
        Cell* nextFree;
        alignas(T) unsigned char storage[sizeof(T)];

        T* Payload() { return reinterpret_cast<T*>(storage); }
        bool IsLive() const { return nextFree == this; }
    };

    // A block record; its cells follow it in the same allocation.
    struct Block {
        uint32_t count;
        Block* next;

        Cell* Cells() { return reinterpret_cast<Cell*>(reinterpret_cast<unsigned char*>(this) + kCellsOffset); }
    };

    static constexpr uint32_t kNoCellUsed = 0xFFFFFFFFu;

    uint32_t total = 0;          // cells in all blocks
    uint32_t cellsPerBlock = 1;  // size of each block added on demand
    Block* first = nullptr;
    Block* last = nullptr;
    Block* current = nullptr;    // the block fresh cells come from
    uint32_t usedInCurrent = kNoCellUsed;
    Cell* freeList = nullptr;

    CGePool() = default;
    CGePool(const CGePool&) = delete;
    CGePool& operator=(const CGePool&) = delete;
    CGePool(CGePool&& other) noexcept { Swap(other); }
    CGePool& operator=(CGePool&& other) noexcept
    {
        if (this != &other) {
            FreeBlocks();
            Swap(other);
        }
        return *this;
    }
    ~CGePool() { FreeBlocks(); }

    // Returns a payload constructed from args: a freed cell when there is
    // one, else the next fresh cell, adding a block when none is left.
    template <typename... Args>
    T* Alloc(Args&&... args)
    {
        Cell* cell = TakeCell();
        try {
            T* payload = new (cell->storage) T(std::forward<Args>(args)...);
            cell->nextFree = cell;
            return payload;
        } catch (...) {
            cell->nextFree = freeList;
            freeList = cell;
            throw;
        }
    }

    // Puts the payload's cell onto the free list and destroys the payload.
    void Free(T* payload)
    {
        Cell* cell = CellOf(payload);
        cell->nextFree = freeList;
        freeList = cell;
        payload->~T();
    }

    // Creates the first block with n cells; does nothing when one exists.
    void InitFirstBlock(uint32_t n)
    {
        if (first)
            return;
        first = last = current = NewBlock(n);
        total = first->count;
        usedInCurrent = 0;
    }

    // Appends a block of cellsPerBlock cells and makes it current.
    void AddBlock()
    {
        if (!first) {
            InitFirstBlock(cellsPerBlock);
            return;
        }
        Block* block = NewBlock(cellsPerBlock);
        last->next = block;
        last = current = block;
        total += block->count;
        usedInCurrent = 0;
    }

    // Destroys every live payload, block by block and cell by cell, and
    // returns all memory; cellsPerBlock stays.
    void FreeBlocks()
    {
        Block* block = first;
        while (block) {
            Block* next = block->next;
            Cell* cells = block->Cells();
            for (uint32_t i = 0; i < block->count; ++i) {
                if (cells[i].IsLive())
                    cells[i].Payload()->~T();
            }
            ::operator delete(block);
            block = next;
        }
        total = 0;
        first = last = current = nullptr;
        usedInCurrent = kNoCellUsed;
        freeList = nullptr;
    }

    uint32_t BlockCount() const
    {
        uint32_t n = 0;
        for (const Block* block = first; block; block = block->next)
            ++n;
        return n;
    }

    void Swap(CGePool& other) noexcept
    {
        std::swap(total, other.total);
        std::swap(cellsPerBlock, other.cellsPerBlock);
        std::swap(first, other.first);
        std::swap(last, other.last);
        std::swap(current, other.current);
        std::swap(usedInCurrent, other.usedInCurrent);
        std::swap(freeList, other.freeList);
    }

private:
    static_assert(std::is_standard_layout<Cell>::value, "a payload is found from its cell by offset");
    static_assert(alignof(Cell) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "blocks use the plain allocator");

    static Cell* CellOf(T* payload)
    {
        return reinterpret_cast<Cell*>(reinterpret_cast<unsigned char*>(payload) - offsetof(Cell, storage));
    }

    static constexpr size_t kCellsOffset = (sizeof(Block) + alignof(Cell) - 1) / alignof(Cell) * alignof(Cell);

    // One allocation holds the block record followed by its cells.
    static Block* NewBlock(uint32_t n)
    {
        if (n == 0)
            n = 1;
        Block* block = new (::operator new(kCellsOffset + size_t(n) * sizeof(Cell))) Block;
        block->count = n;
        block->next = nullptr;
        Cell* cells = block->Cells();
        for (uint32_t i = 0; i < n; ++i) {
            Cell* cell = new (&cells[i]) Cell;
            cell->nextFree = nullptr;
        }
        return block;
    }

    Cell* TakeCell()
    {
        if (freeList) {
            Cell* cell = freeList;
            freeList = cell->nextFree;
            cell->nextFree = nullptr;
            return cell;
        }
        if (!current || usedInCurrent >= current->count)
            AddBlock();
        return &current->Cells()[usedInCurrent++];
    }
};
