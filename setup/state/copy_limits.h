// The sizes the copy run works in: the file selection, its blocks, the progress bar's steps.
#pragma once

enum { MaxFiles = 100, CopyChunkSize = 65536, ZipBlockSize = 8192, NoEndIndex = 9999 };
// The progress bar's range: the copy moves it a thousandth of the bytes at a time.
enum { ProgressBarSteps = 1000 };
