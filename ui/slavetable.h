#pragma once
// Commands that are nothing but one slave command line for the running player.

struct SlaveRow {
    int id;
    const char* command;
};

// The rows in their search order, ended by the row whose id is -1.
extern const SlaveRow slave[];

// The slave command of the first row with `id`, or nullptr.
const char* FindSlaveCommand(int id);
