#pragma once

// Errors carry a constant text and nothing else; only the driver catches them.
struct Exception {
    const char* message;
};
struct MemoryException : Exception {};
struct FileFormatException : Exception {};
struct FileSystemException : Exception {};
struct SolverException : Exception {};
struct OutOfBoundsException : Exception {};
