// The keys held down, newest first, at most one entry per note number. Legato play uses it to
// return to the most recent key still down when a later one is released.
#pragma once

struct NoteNode {
    int noteNumber;
    int velocity;
    NoteNode* next;
};

class Zelvar_NoteList {
public:
    Zelvar_NoteList() = default;
    ~Zelvar_NoteList();
    Zelvar_NoteList(const Zelvar_NoteList&) = delete;
    Zelvar_NoteList& operator=(const Zelvar_NoteList&) = delete;

    void addNote(int noteNumber, int velocity);
    void removeNote(int noteNumber);
    bool existNote() const { return firstNote != nullptr; }
    void getNote(int* noteNumber, int* velocity) const;

private:
    NoteNode* firstNote = nullptr;
};
