#include "gui/gui_main.h"

int main(int argc, char** argv) {
    return tovakin::gui::runGui(argc, argv);
}
