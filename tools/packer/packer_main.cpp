// packer.exe: packs a directory into an archive of the library's format.
#include "tools/packer/archive_writer.h"

int main(int argc, char** argv)
{
    return RunPacker(argc, argv);
}
