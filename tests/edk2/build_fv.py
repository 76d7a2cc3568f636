#!/usr/bin/env python3
"""EDK2's own build takes the NvdimmRemoteActionPkg binary modules into a
firmware volume: a small platform (NvdimmFvTestPkg) includes the package's
DSC and FDF include files, EDK2's `build` (BaseTools from Debian's edk2
source) turns it into DXEFV.Fv, and EDK2's VolInfo reads the volume back.

The volume must hold each module (the driver and the REST producer) as a
DRIVER file under its .inf's FILE_GUID, with its image as the PE32 section
byte for byte, a user-interface section naming the module, and no dependency
section.

    build_fv.py EDK2_TREE PACKAGES_DIR PLATFORM_DIR WORK_DIR DRIVER_IMAGE PRODUCER_IMAGE
"""
import os
import re
import shutil
import subprocess
import sys
import time

# The package's modules: their .inf, FILE_GUID and the name their
# user-interface section carries.
MODULES = [
    ("NvdimmRemoteActionDxe", "8F5390FC-03E2-433A-A7FF-27A9D3D9E418"),
    ("NvdimmRestHttpDxe", "711225B6-E12D-4D69-8636-6BFB398BA378"),
]


def fail(message, output=""):
    if output:
        print(output[-4000:])
    print("edk2-build-fv: " + message)
    sys.exit(1)


def main():
    if len(sys.argv) != 7:
        print(__doc__)
        return 2
    tree, packages, platform, work = (os.path.abspath(a) for a in sys.argv[1:5])
    images = [os.path.abspath(a) for a in sys.argv[5:7]]
    for (name, guid), image in zip(MODULES, images):
        inf = os.path.join(packages, "NvdimmRemoteActionPkg", name, name + ".inf")
        if not os.path.isfile(inf) or not os.path.isfile(image):
            fail("no staged package or image for %s: build the targets edk2-package, "
                 "driver-image and producer-image" % name)
        declared = re.search(r"FILE_GUID\s*=\s*(\S+)", open(inf).read())
        if not declared or declared.group(1).upper() != guid:
            fail("the FILE_GUID of %s is not %s" % (name, guid))

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
    volume_bytes = open(volume, "rb").read()
    problems = []
    for (name, guid), image in zip(MODULES, images):
        problems += check_module(files.get(guid), name, guid, open(image, "rb").read(),
                                 volume_bytes)
    if problems:
        fail("; ".join(problems), info.stdout)
    print("edk2-build-fv: %s holds %s; build took %.1f s"
          % (os.path.basename(volume),
             " and ".join("%s (%d bytes) as file %s" % (name, os.path.getsize(image), guid)
                          for (name, guid), image in zip(MODULES, images)), seconds))
    return 0


def check_module(block, name, guid, image_bytes, volume_bytes):
    """What is wrong with one module's file in VolInfo's listing."""
    if block is None:
        return ["the volume holds no file %s (%s)" % (guid, name)]
    problems = []
    if "EFI_FV_FILETYPE_DRIVER" not in block:
        problems.append("%s is not a DRIVER file" % name)
    sections = re.findall(r"Type:\s+(EFI_SECTION_\w+)", block)
    if sections.count("EFI_SECTION_PE32") != 1:
        problems.append("%s has %d PE32 sections" % (name, sections.count("EFI_SECTION_PE32")))
    if "EFI_SECTION_DXE_DEPEX" in sections:
        problems.append("%s has a dependency section" % name)
    if "String: " + name not in block:
        problems.append("no user-interface section names %s" % name)
    pe32 = re.search(r"EFI_SECTION_PE32\s+Size:\s+(0x[0-9A-Fa-f]+)", block)
    if not pe32 or int(pe32.group(1), 16) != len(image_bytes) + 4:
        problems.append("the PE32 section of %s is not the image's size plus its 4-byte header"
                        % name)
    if volume_bytes.find(image_bytes) < 0:
        problems.append("the bytes of %s are not in the volume" % name)
    return problems

if __name__ == "__main__":
    sys.exit(main())
