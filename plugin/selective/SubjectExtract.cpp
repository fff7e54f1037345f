#include "SubjectExtract.h"

#include <cstdlib>
#include <cstring>

#include "BoundedText.h"
#include "HeaderDecode.h"
#include "Pop3Reply.h"

const char kNoSubject[] = "No Subject";

namespace {

char* Fallback() {
    return const_cast<char*>(kNoSubject);
}

// First line beginning with "Subject"; later lines are never looked at.
char* FindSubjectLine(char* reply) {
    char* cursor = reply;
    while (char* line = pop3::NextToken(&cursor, "\r\n")) {
        if (text::EqualsNoCaseN(line, "Subject", 7)) {
            return line;
        }
    }
    return nullptr;
}

}  // namespace

char* ExtractSubjectFromReply(char* reply) {
    if (!reply) {
        return Fallback();
    }
    char* line = FindSubjectLine(reply);
    if (!line) {
        return Fallback();
    }
    char* colon = std::strchr(line, ':');
    if (!colon) {
        return Fallback();
    }
    const char* value = colon + 1;
    while (*value == ' ') {  // blanks only: a tab stays part of the subject
        ++value;
    }

    char* decoded = static_cast<char*>(std::malloc(std::strlen(value) + 1));
    if (!decoded) {
        return Fallback();
    }
    DecodeHeaderText(value, decoded);
    char* subject = static_cast<char*>(std::malloc(Iso2022JpToSjisLength(decoded) + 1));
    if (subject) {
        Iso2022JpToSjis(decoded, subject);
    }
    std::free(decoded);
    return subject ? subject : Fallback();
}

void ReleaseSubject(char* subject) {
    if (subject != kNoSubject) {
        std::free(subject);
    }
}
