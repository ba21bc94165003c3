#include "app/application.h"

int main(int argc, char *argv[])
{
    return veltrane::app::run(argc, argv);
}
