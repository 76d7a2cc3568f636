#!/usr/bin/env python3
"""EDK2's own build takes the NvdimmRemoteActionPkg binary module into a
firmware volume: a small platform (NvdimmFvTestPkg) includes the package's
DSC and FDF include files, EDK2's `build` (BaseTools from Debian's edk2
source) turns it into DXEFV.Fv, and EDK2's VolInfo reads the volume back.

The volume must hold the module as a DRIVER file under the .inf's FILE_GUID,
with the image as its PE32 section byte for byte, a user-interface section
naming the module, and no dependency section.

    build_fv.py EDK2_TREE PACKAGES_DIR PLATFORM_DIR WORK_DIR IMAGE
"""
import os
import re
import shutil
import subprocess
import sys
import time

FILE_GUID = "8F5390FC-03E2-433A-A7FF-27A9D3D9E418"


def fail(message, output=""):
    if output:
        print(output[-4000:])
    print("edk2-build-fv: " + message)
    sys.exit(1)


def main():
    if len(sys.argv) != 6:
        print(__doc__)
        return 2
    tree, packages, platform, work, image = (os.path.abspath(a) for a in sys.argv[1:])
    inf = os.path.join(packages, "NvdimmRemoteActionPkg", "NvdimmRemoteActionDxe",
                       "NvdimmRemoteActionDxe.inf")
    if not os.path.isfile(inf) or not os.path.isfile(image):
        fail("no staged package or image: build the targets edk2-package and driver-image")
    declared = re.search(r"FILE_GUID\s*=\s*(\S+)", open(inf).read())
    if not declared or declared.group(1).upper() != FILE_GUID:
        fail("the module's FILE_GUID is not " + FILE_GUID)

    # A fresh workspace each run: the volume must come from this build.
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "Conf"))
    env = dict(os.environ)
    env.update(WORKSPACE=work, EDK_TOOLS_PATH=os.path.join(tree, "BaseTools"),
               CONF_PATH=os.path.join(work, "Conf"),
               PACKAGES_PATH=os.pathsep.join([tree, packages, platform]))
    command = ("cd \"$EDK_TOOLS_PATH/..\" && . ./edksetup.sh BaseTools >/dev/null && "
               "cd \"$WORKSPACE\" && build -p NvdimmFvTestPkg/NvdimmFvTest.dsc "
               "-a X64 -t GCC5 -b RELEASE -n 2")
    started = time.monotonic()
    result = subprocess.run(["bash", "-c", command], env=env, capture_output=True, text=True,
                            timeout=300)
    seconds = time.monotonic() - started
    if result.returncode != 0:
        fail("EDK2's build failed", result.stdout + result.stderr)

    volume = os.path.join(work, "Build", "NvdimmFvTest", "RELEASE_GCC5", "FV", "DXEFV.Fv")
    if not os.path.isfile(volume):
        fail("EDK2's build left no " + volume, result.stdout)
    info = subprocess.run([os.path.join(tree, "BaseTools", "Source", "C", "bin", "VolInfo"),
                           volume], capture_output=True, text=True, timeout=60)
    if info.returncode != 0:
        fail("VolInfo could not read the volume", info.stdout + info.stderr)

    # VolInfo lists each file as a block that starts at "File Name:".
    files = {}
    for block in info.stdout.split("File Name:")[1:]:
        files[block.split()[0].upper()] = block
    block = files.get(FILE_GUID)
    if block is None:
        fail("the volume holds no file " + FILE_GUID, info.stdout)
    problems = []
    if "EFI_FV_FILETYPE_DRIVER" not in block:
        problems.append("the file is not a DRIVER file")
    sections = re.findall(r"Type:\s+(EFI_SECTION_\w+)", block)
    if sections.count("EFI_SECTION_PE32") != 1:
        problems.append("the file has %d PE32 sections" % sections.count("EFI_SECTION_PE32"))
    if "EFI_SECTION_DXE_DEPEX" in sections:
        problems.append("the file has a dependency section")
    if "String: NvdimmRemoteActionDxe" not in block:
        problems.append("no user-interface section names the module")
    pe32 = re.search(r"EFI_SECTION_PE32\s+Size:\s+(0x[0-9A-Fa-f]+)", block)
    image_bytes = open(image, "rb").read()
    if not pe32 or int(pe32.group(1), 16) != len(image_bytes) + 4:
        problems.append("the PE32 section is not the image's size plus its 4-byte header")
    if open(volume, "rb").read().find(image_bytes) < 0:
        problems.append("the image's bytes are not in the volume")
    if problems:
        fail("; ".join(problems), info.stdout)
    print("edk2-build-fv: %s holds the driver (%d bytes) as file %s; build took %.1f s"
          % (os.path.basename(volume), len(image_bytes), FILE_GUID, seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
