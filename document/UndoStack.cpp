#include "document/UndoStack.h"

void CUndoStack::Push(std::unique_ptr<CUndoCommand> command) {
    const bool wasClean = IsClean();
    command->Redo();
    if (m_bHasClean && m_nClean > m_nIndex) {
        m_bHasClean = false;  // the saved state lay among the steps this push discards
    }
    m_commands.resize(m_nIndex);
    CUndoCommand* top = m_nIndex > 0 ? m_commands[m_nIndex - 1].get() : nullptr;
    const bool topIsSaved = m_bHasClean && m_nClean == m_nIndex;
    if (top != nullptr && !topIsSaved && top->GetId() != -1 && top->GetId() == command->GetId() &&
        top->MergeWith(*command)) {
        NotifyIfCleanChanged(wasClean);
        return;
    }
    m_commands.push_back(std::move(command));
    ++m_nIndex;
    NotifyIfCleanChanged(wasClean);
}

void CUndoStack::Undo() {
    if (!CanUndo()) {
        return;
    }
    const bool wasClean = IsClean();
    --m_nIndex;
    m_commands[m_nIndex]->Undo();
    NotifyIfCleanChanged(wasClean);
}

void CUndoStack::Redo() {
    if (!CanRedo()) {
        return;
    }
    const bool wasClean = IsClean();
    m_commands[m_nIndex]->Redo();
    ++m_nIndex;
    NotifyIfCleanChanged(wasClean);
}

std::string CUndoStack::GetUndoText() const {
    return CanUndo() ? m_commands[m_nIndex - 1]->GetText() : std::string();
}

std::string CUndoStack::GetRedoText() const {
    return CanRedo() ? m_commands[m_nIndex]->GetText() : std::string();
}

void CUndoStack::SetClean() {
    const bool wasClean = IsClean();
    m_nClean = m_nIndex;
    m_bHasClean = true;
    NotifyIfCleanChanged(wasClean);
}

void CUndoStack::Clear() {
    const bool wasClean = IsClean();
    m_commands.clear();
    m_nIndex = 0;
    m_nClean = 0;
    m_bHasClean = true;
    NotifyIfCleanChanged(wasClean);
}

void CUndoStack::NotifyIfCleanChanged(bool wasClean) {
    if (m_cleanChanged && IsClean() != wasClean) {
        m_cleanChanged(IsClean());
    }
    if (m_changed) {
        m_changed();
    }
}
