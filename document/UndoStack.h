#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One reversible change. Redo applies it (and is called when it is pushed), Undo takes it back;
// both leave the data exactly as it was before the other ran.
class CUndoCommand {
public:
    explicit CUndoCommand(std::string text) : m_strText(std::move(text)) {}
    virtual ~CUndoCommand() = default;
    CUndoCommand(const CUndoCommand&) = delete;
    CUndoCommand& operator=(const CUndoCommand&) = delete;

    virtual void Redo() = 0;
    virtual void Undo() = 0;
    // Commands of the same kind that may merge share an id; -1 never merges.
    [[nodiscard]] virtual int GetId() const { return -1; }
    // Takes next (already applied) into this command, so that one Undo takes back both; false
    // when it cannot, and next then stays a step of its own.
    [[nodiscard]] virtual bool MergeWith(const CUndoCommand& /*next*/) { return false; }

    // The step's name as menus show it after "Undo " and "Redo " ("Typing", "Set for All").
    [[nodiscard]] const std::string& GetText() const { return m_strText; }

private:
    std::string m_strText;
};

// The undo history of one document: commands below the index are done, those above it undone
// and redoable until the next push discards them. The clean index marks the state that was last
// saved; the document is modified exactly when the index is elsewhere, so undoing back to the
// saved state clears the mark. A command is merged into the one below only when that one is not
// the saved state, so a save always stays reachable by undo.
class CUndoStack {
public:
    // Runs command->Redo(), then keeps it as the newest step or merges it into the previous one.
    void Push(std::unique_ptr<CUndoCommand> command);
    // Undo or redo one step; nothing when there is none.
    void Undo();
    void Redo();

    [[nodiscard]] bool CanUndo() const { return m_nIndex > 0; }
    [[nodiscard]] bool CanRedo() const { return m_nIndex < m_commands.size(); }
    // The name of the step Undo or Redo would take; empty when there is none.
    [[nodiscard]] std::string GetUndoText() const;
    [[nodiscard]] std::string GetRedoText() const;

    // The current state is the saved one.
    void SetClean();
    [[nodiscard]] bool IsClean() const { return m_bHasClean && m_nClean == m_nIndex; }
    // Forgets every step (a new document); the empty state is clean.
    void Clear();

    [[nodiscard]] size_t GetCount() const { return m_commands.size(); }
    // The step at a position (below GetIndex() done, from it on undone); null past the end.
    [[nodiscard]] const CUndoCommand* GetCommand(size_t index) const {
        return index < m_commands.size() ? m_commands[index].get() : nullptr;
    }
    [[nodiscard]] size_t GetIndex() const { return m_nIndex; }

    // Called after every change of the history (push, undo, redo, save, clear).
    void SetChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }
    // Called after every change of IsClean(), with the new value.
    void SetCleanChangedHandler(std::function<void(bool)> handler) {
        m_cleanChanged = std::move(handler);
    }

private:
    void NotifyIfCleanChanged(bool wasClean);

    std::vector<std::unique_ptr<CUndoCommand>> m_commands;
    size_t m_nIndex = 0;
    size_t m_nClean = 0;
    // False once the saved state was discarded (undone, then replaced by a new step).
    bool m_bHasClean = true;
    std::function<void(bool)> m_cleanChanged;
    std::function<void()> m_changed;
};
