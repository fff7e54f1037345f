// The product's version, written here and nowhere else. Both libraries are released
// together under it: Pikuno.rc and Pikunoset.rc (the version resources),
// AboutStrings.rc (the about box, which names both libraries' versions) and
// tools/package.sh (the release's file names and texts) take it from these numbers.
// Include guard rather than #pragma once: resource compilers include this too.
#ifndef PIKUNO_VERSION_H
#define PIKUNO_VERSION_H

#define PIKUNO_VERSION_MAJOR 0
#define PIKUNO_VERSION_MINOR 1
#define PIKUNO_VERSION_RELEASE 0
#define PIKUNO_VERSION_BUILD 9

#define PIKUNO_VERSION_TEXT_(x) #x
#define PIKUNO_VERSION_TEXT(x) PIKUNO_VERSION_TEXT_(x)

// The four numbers joined by ", ": the form of the version resources' FileVersion
// and ProductVersion texts.
#define PIKUNO_VERSION_RESOURCE_TEXT                                     \
    PIKUNO_VERSION_TEXT(PIKUNO_VERSION_MAJOR) ", "                       \
    PIKUNO_VERSION_TEXT(PIKUNO_VERSION_MINOR) ", "                       \
    PIKUNO_VERSION_TEXT(PIKUNO_VERSION_RELEASE) ", "                     \
    PIKUNO_VERSION_TEXT(PIKUNO_VERSION_BUILD)

// Major and minor joined by ".": the about box names only these two.
#define PIKUNO_VERSION_SHORT_TEXT                                        \
    PIKUNO_VERSION_TEXT(PIKUNO_VERSION_MAJOR) "." PIKUNO_VERSION_TEXT(PIKUNO_VERSION_MINOR)

#endif
