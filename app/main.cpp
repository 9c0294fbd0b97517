// Process entry: start-up, the message loop, clean-up.
#include <windows.h>

#include "app/session.h"
#include "app/single_instance.h"
#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
    // A running instance takes the command line and this process ends there.
    EnumWindows(find_running_instance, reinterpret_cast<LPARAM>(command_line));
    CoInitialize(nullptr);
    init_gui(command_line);
    open_first_windows(command_line);
    run_message_loop();
    g_session.end();
    close_gui();
    return 0;
}
