// Pelandor: a thumbnail image browser.
#include "app/ApplicationShell.h"

int main(int argc, char **argv)
{
    return pelandor::ApplicationShell::run(argc, argv);
}
