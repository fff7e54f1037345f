#pragma once
// What the stand-in host of the binding tests recorded.

#include <windows.h>

#include <string>
#include <vector>

struct BindingRegistration {
    void* callback;
    LPARAM value;
    int id;
};

constexpr int kBindingFirstCommandId = 40001;

std::vector<BindingRegistration>& BindingRegistrations();
void SetBindingMailbox(const std::string& mailbox);
