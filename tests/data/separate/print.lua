-- The separate state has no libraries: print is nil.
print("from the separate state")
return 1
