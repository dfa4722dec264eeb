// The keys held down, newest first, at most one entry per note number. Legato play uses it to
// return to the most recent key still down when a later one is released.
//
// Nodes come from a pool reserved at initialize(): one per MIDI note, and as many again for
// note numbers outside MIDI's range. A key pressed while the pool is exhausted is not
// remembered (legato cannot return to it); it still plays.
#pragma once

#include "Zelvar_BlockPool.h"
#include "Zelvar_PoolAllocated.h"

struct NoteNode : Zelvar_PoolAllocated {
    int noteNumber;
    int velocity;
    NoteNode* next;
};

class Zelvar_NoteList {
public:
    static constexpr int capacity = 256;

    Zelvar_NoteList() = default;
    ~Zelvar_NoteList();
    Zelvar_NoteList(const Zelvar_NoteList&) = delete;
    Zelvar_NoteList& operator=(const Zelvar_NoteList&) = delete;

    void initialize() { pool.reserve(sizeof(NoteNode), capacity); }
    void addNote(int noteNumber, int velocity);
    void removeNote(int noteNumber);
    bool existNote() const { return firstNote != nullptr; }
    void getNote(int* noteNumber, int* velocity) const;

private:
    Zelvar_BlockPool pool;
    NoteNode* firstNote = nullptr;
};
