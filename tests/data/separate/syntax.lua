-- A syntax error.
return 1 +
