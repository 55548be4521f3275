# velmon_message_table(): compiles a .mc message catalogue for a module (to be provided).
