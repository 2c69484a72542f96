-- A string with a zero byte inside.
return "ab\0cd", "\149\92\131\92"
