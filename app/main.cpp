// Process entry: start-up, the message loop, clean-up.
#include <windows.h>

#include "app/app.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "win/com.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
    // A running instance takes the command line and this process ends there.
    EnumWindows(find_running_instance, reinterpret_cast<LPARAM>(command_line));
    CoInitialize(nullptr);
    init_gui(command_line);
    // The folder asked for is the first window's one navigation; without one, every
    // window of the last session comes back.
    const task_idlist asked = argument_folder(command_line);
    if (asked || !restore_every_window()) main_window_t::open(asked.get());
    run_message_loop();
    save_what_was_not_saved();
    close_gui();
    return 0;
}
