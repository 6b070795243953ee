// The key commands of the plug-in window, as a function of the key and the modifiers held.
#pragma once

enum class KeyAction {
    Handled, // a command ran
    Forward, // not ours: the key goes to the player's window
    Close,   // Escape: the window is to be closed
};

// vk is the virtual-key code; shift and ctrl tell whether those keys are held. Ctrl is looked
// at only for M and S, Shift not for Ctrl-M, S, I, L, Space and Escape.
KeyAction handleKeyCommand(unsigned vk, bool shift, bool ctrl);

// Ctrl-M: stores the current effect as a favourite (the Windows layer sets it).
extern void (*addFavoriteCommand)();
