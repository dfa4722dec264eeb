#include "Zelvar_NoteList.h"

Zelvar_NoteList::~Zelvar_NoteList() {
    while (firstNote != nullptr) {
        NoteNode* next = firstNote->next;
        delete firstNote;
        firstNote = next;
    }
}

void Zelvar_NoteList::addNote(int noteNumber, int velocity) {
    removeNote(noteNumber);
    NoteNode* node = new (&pool) NoteNode{{}, noteNumber, velocity, firstNote};
    if (node != nullptr)
        firstNote = node;
}

void Zelvar_NoteList::removeNote(int noteNumber) {
    for (NoteNode** link = &firstNote; *link != nullptr; link = &(*link)->next) {
        if ((*link)->noteNumber == noteNumber) {
            NoteNode* found = *link;
            *link = found->next;
            delete found;
            return;
        }
    }
}

void Zelvar_NoteList::getNote(int* noteNumber, int* velocity) const {
    if (firstNote == nullptr)
        return;
    *noteNumber = firstNote->noteNumber;
    *velocity = firstNote->velocity;
}
