// Cells of a report-style list view.
#pragma once
#include <windows.h>
#include <stddef.h>

void addListColumn(HWND listView, int index, int width, const char* title);
void setListItemText(HWND listView, int item, int subItem, const char* text, bool insert);
void getListItemText(HWND listView, int item, int subItem, char* buffer, size_t size);
