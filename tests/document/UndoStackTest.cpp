// The undo history: steps, merging, the saved state and the modified mark that follows it.

#include "document/UndoStack.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Adds to a number, as typing adds to a text: consecutive additions merge into one step.
class CAdd : public CUndoCommand {
public:
    CAdd(int& value, int amount) : CUndoCommand("Typing"), m_value(value), m_nAmount(amount) {}
    void Redo() override { m_value += m_nAmount; }
    void Undo() override { m_value -= m_nAmount; }
    [[nodiscard]] int GetId() const override { return 1; }
    [[nodiscard]] bool MergeWith(const CUndoCommand& next) override {
        m_nAmount += static_cast<const CAdd&>(next).m_nAmount;
        return true;
    }

private:
    int& m_value;
    int m_nAmount;
};

// Replaces the number: a step of its own, never merged.
class CSet : public CUndoCommand {
public:
    CSet(int& value, int to) : CUndoCommand("Set for All"), m_value(value), m_nTo(to) {}
    void Redo() override {
        m_nFrom = m_value;
        m_value = m_nTo;
    }
    void Undo() override { m_value = m_nFrom; }

private:
    int& m_value;
    int m_nTo;
    int m_nFrom = 0;
};

TEST(UndoStackTest, TypingMergesButNeverAcrossTheSavedState) {
    int value = 0;
    CUndoStack stack;
    std::vector<bool> cleanChanges;
    stack.SetCleanChangedHandler([&](bool clean) { cleanChanges.push_back(clean); });
    EXPECT_TRUE(stack.IsClean());
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_EQ(stack.GetUndoText(), "");

    stack.Push(std::make_unique<CAdd>(value, 1));
    stack.Push(std::make_unique<CAdd>(value, 2));
    EXPECT_EQ(value, 3);
    EXPECT_EQ(stack.GetCount(), 1u);  // one step for both keystrokes
    EXPECT_EQ(stack.GetUndoText(), "Typing");
    EXPECT_FALSE(stack.IsClean());

    stack.SetClean();  // saved
    stack.Push(std::make_unique<CAdd>(value, 4));
    EXPECT_EQ(stack.GetCount(), 2u);  // merging would have lost the saved state
    stack.Undo();
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(stack.IsClean());
    EXPECT_EQ(stack.GetRedoText(), "Typing");

    // A set is a step of its own, and typing after it does not merge into it.
    stack.Push(std::make_unique<CSet>(value, 10));
    stack.Push(std::make_unique<CAdd>(value, 1));
    EXPECT_EQ(stack.GetCount(), 3u);
    EXPECT_EQ(stack.GetUndoText(), "Typing");
    stack.Undo();
    EXPECT_EQ(stack.GetUndoText(), "Set for All");
    stack.Undo();
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(stack.IsClean());
    EXPECT_EQ(cleanChanges, (std::vector<bool>{false, true, false, true, false, true}));
}

TEST(UndoStackTest, ThePushThatDiscardsTheSavedStateMakesItUnreachable) {
    int value = 0;
    CUndoStack stack;
    stack.Push(std::make_unique<CSet>(value, 1));
    stack.Push(std::make_unique<CSet>(value, 2));
    stack.SetClean();
    stack.Undo();
    stack.Push(std::make_unique<CSet>(value, 5));  // the saved "2" is gone from the history
    EXPECT_FALSE(stack.CanRedo());
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(stack.IsClean());
        stack.Undo();
    }
    EXPECT_EQ(value, 0);
    stack.Clear();
    EXPECT_TRUE(stack.IsClean());
    EXPECT_EQ(stack.GetCount(), 0u);
    stack.Redo();  // nothing to redo: nothing happens
    stack.Undo();
    EXPECT_EQ(value, 0);
}

// Random pushes, undos, redos and saves against a plain list of the states the steps lead to.
TEST(UndoStackTest, RandomHistoriesAgreeWithAListOfStates) {
    std::mt19937 random(20261209);
    for (int run = 0; run < 200; ++run) {
        int value = 0;
        CUndoStack stack;
        std::vector<int> states = {0};  // states[i]: the value after i steps
        std::vector<bool> additions;    // additions[i]: step i + 1 is an addition
        size_t index = 0;
        int saved = 0;  // the index of the saved state, -1 once it is unreachable
        for (int op = 0; op < 60; ++op) {
            const int kind = static_cast<int>(random() % 6);
            if (kind <= 1) {
                const int amount = static_cast<int>(random() % 9) + 1;
                if (saved > static_cast<int>(index)) {
                    saved = -1;
                }
                // An addition merges into an addition below it, unless that is the saved state.
                const bool merges = kind == 0 && index > 0 && additions[index - 1] &&
                                    saved != static_cast<int>(index);
                states.resize(index + 1);
                additions.resize(index);
                if (kind == 0) {
                    stack.Push(std::make_unique<CAdd>(value, amount));
                } else {
                    stack.Push(std::make_unique<CSet>(value, amount * 100));
                }
                const int next = kind == 0 ? states[index] + amount : amount * 100;
                if (merges) {
                    states[index] = next;
                } else {
                    states.push_back(next);
                    additions.push_back(kind == 0);
                    ++index;
                }
            } else if (kind == 2 || kind == 3) {
                stack.Undo();
                index -= index > 0 ? 1 : 0;
            } else if (kind == 4) {
                stack.Redo();
                index += index + 1 < states.size() ? 1 : 0;
            } else {
                stack.SetClean();
                saved = static_cast<int>(index);
            }
            ASSERT_EQ(value, states[index]) << "run " << run << " op " << op;
            ASSERT_EQ(stack.GetIndex(), index);
            ASSERT_EQ(stack.GetCount(), states.size() - 1);
            ASSERT_EQ(stack.IsClean(), saved == static_cast<int>(index));
        }
        while (stack.CanUndo()) {
            stack.Undo();
        }
        EXPECT_EQ(value, 0);
    }
}

}  // namespace
