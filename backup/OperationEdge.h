#pragma once
// The controls around a read, a Load and its restore, set in one place. Each of these
// runs inside the handler edge (Handler.h): its end steps run however it ended, and only
// then is an exception shown.

class IMainWindowHost;

// Disables Read, Load, Save, Exit and the port list, so that nothing else starts
// meanwhile. A read also disables the window (only the progress window may take input
// while it runs); a restore leaves the window, and so the tree, usable.
void LockControls(IMainWindowHost& host, bool window);

// The end of a read or a restore, however it ended: the progress window closes, the
// tree's first node is selected, Read, Exit, the port list and the window are enabled and
// the window takes the focus. Save and Load stay as the operation left them, so after a
// failure both stay disabled. Every step runs even when one before it failed; the first
// failure is thrown afterwards.
void UnlockControls(IMainWindowHost& host);

// The end of the phone connection, as the main window's closing does it: when the port
// is open, the phone leaves data mode if it is in it (the answer is not looked at), then
// the answer timer stops and the port closes, also when that goodbye failed; its failure
// is shown afterwards. Nothing is sent when the port is closed.
void ClosePhoneConnection(IMainWindowHost& host) noexcept;
