-- A million appends to a string: Lua strings are immutable, so its
-- idiom for growing one is a buffer table joined at the end.
local parts = {}
for i = 1, 1000000 do
  parts[#parts + 1] = "ab"
end
local s = table.concat(parts)
print(string.format("%d %s", #s, s:sub(1999999, 2000000)))
