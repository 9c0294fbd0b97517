// Process entry: start-up, the message loop, clean-up.
#include <windows.h>

#include "app/app.h"
#include "app/main_window.h"
#include "app/single_instance.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
    // A running instance takes the command line and this process ends there.
    EnumWindows(find_running_instance, reinterpret_cast<LPARAM>(command_line));
    CoInitialize(nullptr);
    init_gui(command_line);
    // The folder asked for is the first window's one navigation.
    main_window_t::open(argument_folder(command_line).get());
    run_message_loop();
    close_gui();
    return 0;
}
