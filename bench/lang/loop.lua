-- A counting loop to 10 million with an addition.
local s = 0
for i = 1, 10000000 do
  s = s + 3
end
print(s)
